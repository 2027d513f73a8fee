#pragma once

#include "Output.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/resource.h>

// Runs the event loop until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()> &condition, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The output lines a block printed at `least` or above, as one text.
template <typename F> std::string capturedOutput(F &&block, Level least = Level::Info)
{
    std::string out;
    const LineSink previous = setLineSink([&](std::string_view line, Level level) {
        if (level >= least)
            (out += line) += '\n';
    });
    block();
    setLineSink(previous);
    return out;
}

// Runs a block with files limited to `bytes`: a write past it comes back
// short, then fails, as on a disk that fills up.
template <typename F> void withFileSizeLimit(rlim_t bytes, F &&block)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
    block();
    setrlimit(RLIMIT_FSIZE, &saved);
}

inline int occurrences(const std::string &text, const std::string &part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// Readable failures for Qt's texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
