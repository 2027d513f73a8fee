#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace platform {

class StatusItem;

// Desktop notifications; posting never blocks.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void post(const QString &title, const QString &body) = 0;
};

// org.freedesktop.Notifications on the session bus. Without a notification
// service it falls back to the tray icon's own message.
class DBusNotifier final : public Notifier {
public:
    DBusNotifier(QDBusConnection bus, StatusItem *fallback, QString appIcon);
    void post(const QString &title, const QString &body) override;

private:
    void fallBack(const QString &title, const QString &body, const QString &why);

    QDBusConnection bus_;
    StatusItem *fallback_;
    QString appIcon_;
    bool saidWhy_ = false;
    QObject replies_; // answers arriving after we are gone go nowhere
};

} // namespace platform
