#include "Notifier.h"

#include "Output.h"
#include "StatusItem.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTextStream>
#include <utility>

namespace platform {

DBusNotifier::DBusNotifier(QDBusConnection bus, StatusItem *fallback, QString appIcon, std::function<void()> playSound)
    : bus_(std::move(bus)), fallback_(fallback), appIcon_(std::move(appIcon)), playSound_(std::move(playSound))
{
}

void DBusNotifier::post(const QString &title, const QString &body)
{
    if (!bus_.isConnected()) {
        fallBack(title, body, QStringLiteral("no session bus"));
        return;
    }
    if (capabilities_)
        return send(title, body);
    waiting_.emplace_back(title, body);
    if (asking_)
        return;
    asking_ = true;
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &replies_, [this, watcher] {
        watcher->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QStringList> reply = *watcher;
        auto waiting = std::exchange(waiting_, {});
        if (reply.isError()) { // nobody there: ask again next time, the daemon may come
            for (const auto &[title, body] : waiting)
                fallBack(title, body, reply.error().message());
            return;
        }
        capabilities_ = reply.value();
        for (const auto &[title, body] : waiting)
            send(title, body);
    });
}

void DBusNotifier::send(const QString &title, const QString &body)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zandorupdate"));
    const bool playsSounds = capabilities_->contains(QStringLiteral("sound"));
    if (playsSounds)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    else if (playSound_)
        playSound_();
    // A body the server reads as markup gets its three special characters
    // escaped, so a folder "News & Weather <Live>" shows as it is named.
    const bool markup = capabilities_->contains(QStringLiteral("body-markup"));
    QString shown = body;
    if (markup)
        shown.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
            .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
            .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    // replaces_id 0: every notification stands on its own.
    call << QStringLiteral("ZandorUpdate") << uint(0) << appIcon_ << title << shown << QStringList() << hints
         << int(-1);

    // Asynchronous: we only look at the answer to learn that nobody is there
    // any more (the daemon went away; the next post asks afresh).
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &replies_, [this, watcher, title, body] {
        watcher->deleteLater();
        if (watcher->isError()) {
            capabilities_.reset();
            fallBack(title, body, watcher->error().message());
        }
    });
}

void DBusNotifier::fallBack(const QString &title, const QString &body, const QString &why)
{
    if (!saidWhy_) {
        saidWhy_ = true;
        printLine(QStringLiteral("Desktop notifications unavailable (%1); using the tray icon's messages").arg(why));
    }
    if (fallback_)
        fallback_->showMessage(title, body);
}

} // namespace platform
