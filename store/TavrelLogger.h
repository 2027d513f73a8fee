#pragma once

#include <functional>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>

// In order of verbosity: None is the lowest, Custom the highest.
enum class LoggerLevels : int { None = 0, Error = 1, Warning = 2, Success = 3, Info = 4, Custom = 5 };

// No level for raw values outside 0...5.
std::optional<LoggerLevels> loggerLevelFromRawValue(int rawValue);

// One line per message on standard output: glyph, message, call site, message.
class TavrelLogger {
public:
    TavrelLogger();
    virtual ~TavrelLogger() = default;

    static TavrelLogger &sharedInstance();

    LoggerLevels verbosityLevel = LoggerLevels::Custom;
    std::string errorGlyph = "\U0001F6AB";
    std::string warningGlyph = "\U0001F514";
    std::string successGlyph = "\u2705";
    std::string infoGlyph = "\U0001F535";
    std::string customGlyph = "\U0001F536";

    virtual void logMessage(std::string_view message, LoggerLevels level = LoggerLevels::Info,
                            std::source_location where = std::source_location::current());
    virtual void logMessage(std::string_view message, LoggerLevels level, std::string_view file, unsigned line);

    // The line logMessage would write, without the line end; ignores verbosity.
    virtual std::string getMessage(std::string_view message, LoggerLevels level = LoggerLevels::Info,
                                   std::source_location where = std::source_location::current()) const;
    virtual std::string getMessage(std::string_view message, LoggerLevels level, std::string_view file,
                                   unsigned line) const;

    // Logs at Custom, then evaluates the condition once; a false one is an
    // assertion failure at the caller's location.
    virtual void logMessageAndAssert(const std::function<bool()> &condition, std::string_view message,
                                     std::source_location where = std::source_location::current());

private:
    std::string getGlyphForLogLevel(LoggerLevels level) const;
};

// Base of the support classes; gives them the shared logger.
class TavrelSuper {
public:
    TavrelSuper() = default;
    virtual ~TavrelSuper() = default;
    TavrelLogger &tvLogger() const { return TavrelLogger::sharedInstance(); }
};
