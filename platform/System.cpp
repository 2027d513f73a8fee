#include "System.h"

#include "Output.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>
#include <utility>

namespace platform {

SyslogSystemLog::SyslogSystemLog()
{
    openlog("ZandorUpdate", LOG_PID, LOG_USER);
}

SyslogSystemLog::~SyslogSystemLog()
{
    closelog();
}

void SyslogSystemLog::write(const QString &message)
{
    systemLogLine(message.toStdString(), Level::Error);
}

namespace {

int signalPipe[2] = {-1, -1};
constexpr int kSessionEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

void onSessionEnd(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SessionEndSignals::SessionEndSignals()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSessionEnd;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSessionEndSignals)
        sigaction(signal, &action, nullptr);
}

SessionEndSignals::~SessionEndSignals()
{
    for (const int signal : kSessionEndSignals)
        std::signal(signal, SIG_DFL);
    notifier_.reset();
    for (int &fd : signalPipe)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

} // namespace platform
