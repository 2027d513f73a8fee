#include "SleepWatcher.h"

#include "Output.h"

namespace platform {

LogindSleepWatcher::LogindSleepWatcher(QDBusConnection systemBus) : bus_(std::move(systemBus))
{
    if (bus_.isConnected())
        connected_ = bus_.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                  QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                  this, SLOT(prepareForSleep(bool)));
    if (!connected_) {
        printLine(std::string_view("No system bus or logind: sleep and wake will not be noticed"), Level::Warning);
        std::fflush(stdout);
    }
}

void LogindSleepWatcher::subscribe(const QString &notificationName, std::function<void(const QString &)> handler)
{
    handlers_.emplace_back(notificationName, std::move(handler));
}

void LogindSleepWatcher::prepareForSleep(bool sleeping)
{
    const QString &name = sleeping ? kWillSleepNotification : kDidWakeNotification;
    for (const auto &[subscribed, handler] : handlers_)
        if (subscribed == name)
            handler(name);
}

} // namespace platform
