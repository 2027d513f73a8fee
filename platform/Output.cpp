#include "Output.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <syslog.h>

namespace {
std::mutex sinkLock;
LineSink sink;
} // namespace

void printLine(std::string_view text, Level level)
{
    const std::lock_guard lock(sinkLock);
    if (sink) {
        sink(text, level);
        return;
    }
    if (level != Level::Info)
        systemLogLine(text, level);
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void printLine(const QString &text, Level level)
{
    printLine(std::string_view(text.toStdString()), level);
}

void systemLogLine(std::string_view text, Level level)
{
    const std::string line(text);
    ::syslog(LOG_USER | (level == Level::Error ? LOG_ERR : LOG_WARNING), "%s", line.c_str());
}

LineSink setLineSink(LineSink replacement)
{
    const std::lock_guard lock(sinkLock);
    std::swap(sink, replacement);
    return replacement;
}
