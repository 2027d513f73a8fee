#include "Notifier.h"

#include "Output.h"
#include "StatusItem.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTextStream>

namespace platform {

DBusNotifier::DBusNotifier(QDBusConnection bus, StatusItem *fallback, QString appIcon)
    : bus_(std::move(bus)), fallback_(fallback), appIcon_(std::move(appIcon))
{
}

void DBusNotifier::post(const QString &title, const QString &body)
{
    if (!bus_.isConnected()) {
        fallBack(title, body, QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zandorupdate"));
    // replaces_id 0: every notification stands on its own.
    call << QStringLiteral("ZandorUpdate") << uint(0) << appIcon_ << title << body << QStringList() << hints << int(-1);

    // Asynchronous: we only look at the answer to learn that nobody is there.
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &replies_, [this, watcher, title, body] {
        watcher->deleteLater();
        if (watcher->isError())
            fallBack(title, body, watcher->error().message());
    });
}

void DBusNotifier::fallBack(const QString &title, const QString &body, const QString &why)
{
    if (!saidWhy_) {
        saidWhy_ = true;
        printLine(QStringLiteral("Desktop notifications unavailable (%1); using the tray icon's messages").arg(why));
        std::fflush(stdout);
    }
    if (fallback_)
        fallback_->showMessage(title, body);
}

} // namespace platform
