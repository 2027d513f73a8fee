#include "Notifier.h"

#include "Output.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace platform {

namespace {

constexpr int kCapabilitiesWaitMs = 3000;

QDBusMessage notificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}
} // namespace

DBusNotifier::DBusNotifier(QDBusConnection bus, Notifier *fallback, QString appIcon, std::function<void()> playSound)
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
    // A short wait: a name that is activatable but never answers must not
    // hold the notice back for D-Bus's default 25 seconds.
    auto *watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(notificationsCall(QStringLiteral("GetCapabilities")), kCapabilitiesWaitMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &replies_, [this, watcher] {
        watcher->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QStringList> reply = *watcher;
        auto waiting = std::exchange(waiting_, {});
        if (reply.isError()) { // nobody there: ask again next time, the daemon may come
            for (const auto &[heldTitle, heldBody] : waiting)
                fallBack(heldTitle, heldBody, reply.error().message());
            return;
        }
        capabilities_ = reply.value();
        for (const auto &[heldTitle, heldBody] : waiting)
            send(heldTitle, heldBody);
    });
}

void DBusNotifier::send(const QString &title, const QString &body)
{
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
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
        printLine(
            QStringLiteral("Desktop notifications unavailable (%1); showing them in windows of our own").arg(why));
    }
    if (fallback_)
        fallback_->post(title, body);
}

PopupNotifier::PopupNotifier(std::chrono::milliseconds shownFor) : shownFor_(shownFor) {}

PopupNotifier::~PopupNotifier()
{
    for (QWidget *popup : popups_)
        delete popup;
}

void PopupNotifier::post(const QString &title, const QString &body)
{
    auto *popup = new QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint);
    popup->setObjectName(QStringLiteral("zandorupdateNotification"));
    popup->setAttribute(Qt::WA_ShowWithoutActivating);
    popup->setFrameShape(QFrame::StyledPanel);
    popup->setWindowTitle(title);
    auto *layout = new QVBoxLayout(popup);
    for (const auto &[text, bold] : {std::pair(title, true), std::pair(body, false)}) {
        auto *label = new QLabel(text, popup);
        label->setTextFormat(Qt::PlainText); // exactly the caller's text
        label->setWordWrap(true);
        QFont font = label->font();
        font.setBold(bold);
        label->setFont(font);
        layout->addWidget(label);
    }
    popup->setFixedWidth(320);
    popups_.push_back(popup);
    place();
    popup->show();
    QTimer::singleShot(shownFor_, popup, [this, popup] {
        std::erase(popups_, popup);
        popup->deleteLater();
        place();
    });
}

std::vector<QWidget *> PopupNotifier::shown() const
{
    return popups_;
}

// Newest at the top right, the earlier ones below it.
void PopupNotifier::place()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    int y = area.top() + 12;
    for (auto it = popups_.rbegin(); it != popups_.rend(); ++it) {
        QWidget *popup = *it;
        popup->adjustSize();
        popup->move(area.right() - popup->width() - 12, y);
        y += popup->height() + 8;
    }
}

} // namespace platform
