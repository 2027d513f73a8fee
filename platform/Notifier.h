#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace platform {

class StatusItem;

// Desktop notifications; posting never blocks.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void post(const QString &title, const QString &body) = 0;
};

// org.freedesktop.Notifications on the session bus. The texts arrive as
// the caller wrote them: the server's capabilities are asked once, and
// where it reads markup, "&", "<" and ">" are escaped. Where it plays no
// sounds, `playSound` plays the notification's. Without a notification
// service it falls back to the tray icon's own message.
class DBusNotifier final : public Notifier {
public:
    DBusNotifier(QDBusConnection bus, StatusItem *fallback, QString appIcon, std::function<void()> playSound = {});
    void post(const QString &title, const QString &body) override;

private:
    void send(const QString &title, const QString &body);
    void fallBack(const QString &title, const QString &body, const QString &why);

    QDBusConnection bus_;
    StatusItem *fallback_;
    QString appIcon_;
    std::function<void()> playSound_;
    std::optional<QStringList> capabilities_;          // once the server has said
    std::vector<std::pair<QString, QString>> waiting_; // posted before it did
    bool asking_ = false;
    bool saidWhy_ = false;
    QObject replies_; // answers arriving after we are gone go nowhere
};

} // namespace platform
