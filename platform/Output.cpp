#include "Output.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace {
std::mutex sinkLock;
LineSink sink;
} // namespace

void printLine(std::string_view text)
{
    const std::lock_guard lock(sinkLock);
    if (sink) {
        sink(text);
        return;
    }
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void printLine(const QString &text)
{
    printLine(std::string_view(text.toStdString()));
}

LineSink setLineSink(LineSink replacement)
{
    const std::lock_guard lock(sinkLock);
    std::swap(sink, replacement);
    return replacement;
}
