#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

namespace platform {

// The names handed to a sleep/wake handler.
inline const QString kWillSleepNotification = QStringLiteral("WillSleepNotification");
inline const QString kDidWakeNotification = QStringLiteral("DidWakeNotification");

class SleepWatcher {
public:
    virtual ~SleepWatcher() = default;
    // Adds a handler, called on the main thread before sleep and after wake.
    virtual void subscribe(const QString &notificationName, std::function<void(const QString &)> handler) = 0;
};

// systemd-logind's PrepareForSleep on the system bus.
class LogindSleepWatcher final : public QObject, public SleepWatcher {
    Q_OBJECT
public:
    explicit LogindSleepWatcher(QDBusConnection systemBus);
    void subscribe(const QString &notificationName, std::function<void(const QString &)> handler) override;

private slots:
    void prepareForSleep(bool sleeping);

private:
    QDBusConnection bus_;
    bool connected_ = false;
    std::vector<std::pair<QString, std::function<void(const QString &)>>> handlers_;
};

} // namespace platform
