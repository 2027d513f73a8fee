#pragma once

#include <QString>
#include <functional>
#include <string_view>

// How much a diagnostic line matters.
enum class Level {
    Info,    // the fixed lines: progress, due times, what was done
    Warning, // something the app works around (no logind, no tray service)
    Error,   // something failed: an update, a file
};

// The one entry point for the app's diagnostics. Every line goes to standard
// output whole and exactly as given; warnings and errors also go to the
// system log at their priority, where support finds them when the app was
// started by the session and its output went nowhere.
void printLine(std::string_view text, Level level = Level::Info);
void printLine(const QString &text, Level level = Level::Info);
// A warning or an error for the system log alone, as printLine sends it there.
void systemLogLine(std::string_view text, Level level);

// Sends the lines elsewhere instead of standard output and the system log
// (the tests read them, with their level); an empty sink means standard
// output again. Returns the sink it replaced.
using LineSink = std::function<void(std::string_view line, Level level)>;
LineSink setLineSink(LineSink sink);
