#include "Output.h"

#include <cstdio>
#include <string>

void printLine(std::string_view text)
{
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void printLine(const QString &text)
{
    printLine(std::string_view(text.toStdString()));
}
