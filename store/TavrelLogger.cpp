#include "TavrelLogger.h"

#include "Output.h"

#include <cstdio>
#include <cstdlib>

std::optional<LoggerLevels> loggerLevelFromRawValue(int rawValue)
{
    if (rawValue < 0 || rawValue > 5)
        return std::nullopt;
    return LoggerLevels(rawValue);
}

TavrelLogger::TavrelLogger() = default;

TavrelLogger &TavrelLogger::sharedInstance()
{
    static TavrelLogger shared; // created once, even from racing first calls
    return shared;
}

std::string TavrelLogger::getGlyphForLogLevel(LoggerLevels level) const
{
    switch (level) {
    case LoggerLevels::Error:
        return errorGlyph + ' ';
    case LoggerLevels::Warning:
        return warningGlyph + ' ';
    case LoggerLevels::Success:
        return successGlyph + ' ';
    case LoggerLevels::Info:
        return infoGlyph + ' ';
    case LoggerLevels::Custom:
        return customGlyph + ' ';
    case LoggerLevels::None:
        break;
    }
    return " ";
}

std::string TavrelLogger::getMessage(std::string_view message, LoggerLevels level, std::string_view file,
                                     unsigned line) const
{
    std::string text = getGlyphForLogLevel(level);
    text += message;
    text += " [";
    text += file;
    text += ':';
    text += std::to_string(line);
    text += "] ";
    text += message;
    return text;
}

std::string TavrelLogger::getMessage(std::string_view message, LoggerLevels level, std::source_location where) const
{
    return getMessage(message, level, where.file_name(), unsigned(where.line()));
}

void TavrelLogger::logMessage(std::string_view message, LoggerLevels level, std::string_view file, unsigned line)
{
    if (int(verbosityLevel) <= int(LoggerLevels::None))
        return;
    if (int(level) <= int(verbosityLevel))
        printLine(getMessage(message, level, file, line), level == LoggerLevels::Error     ? Level::Error
                                                          : level == LoggerLevels::Warning ? Level::Warning
                                                                                           : Level::Info);
}

void TavrelLogger::logMessage(std::string_view message, LoggerLevels level, std::source_location where)
{
    logMessage(message, level, where.file_name(), unsigned(where.line()));
}

void TavrelLogger::logMessageAndAssert(const std::function<bool()> &condition, std::string_view message,
                                       std::source_location where)
{
    logMessage(message, LoggerLevels::Custom, where);
    if (condition())
        return;
    std::fprintf(stderr, "assertion failed: %.*s [%s:%u]\n", int(message.size()), message.data(), where.file_name(),
                 unsigned(where.line()));
#ifndef NDEBUG
    std::abort();
#endif
}
