#pragma once

#include <QString>
#include <memory>

class QSocketNotifier;

namespace platform {

// The system log (syslog under the app's name).
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(const QString &message) = 0;
};

class SyslogSystemLog final : public SystemLog {
public:
    SyslogSystemLog();
    ~SyslogSystemLog() override;
    void write(const QString &message) override;
};

// Logout, shutdown and Ctrl-C (SIGTERM, SIGHUP, SIGINT) end the event loop
// as Quit does, so everything is torn down in order and no partial download
// is left behind.
class SessionEndSignals final {
public:
    SessionEndSignals();
    ~SessionEndSignals();
    SessionEndSignals(const SessionEndSignals &) = delete;
    SessionEndSignals &operator=(const SessionEndSignals &) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace platform
