#pragma once

#include <QString>
#include <functional>
#include <string_view>

// The one channel for the app's fixed output lines: standard output, each
// line written whole.
void printLine(std::string_view text);
void printLine(const QString &text);

// Sends the lines elsewhere instead (the tests read them); an empty sink
// means standard output again. Returns the sink it replaced.
using LineSink = std::function<void(std::string_view line)>;
LineSink setLineSink(LineSink sink);
