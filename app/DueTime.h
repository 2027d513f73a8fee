#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <optional>
#include <variant>

// The hourly scheduler's arithmetic, apart from any timer or app.
namespace due {

enum class MinutesError { NotAWholeNumber, OutOfRange };

// "minutes_after_hour" as a decimal whole number: an optional sign and ASCII
// digits, nothing else, within a signed 64-bit integer.
std::variant<qint64, MinutesError> parseMinutes(const QString &text);

struct DueTime {
    QDateTime when;
    bool thisHour = false; // due within the hour the clock was read in
};

// The first firing for M minutes after the hour: the hour of `split` (read
// first) in `zone`, then whether `now` (read second) lies before minute M of
// that hour. Minutes carry into hours and days as a wall clock would; a time
// the clocks skip counts on from before the gap. None when M is so far away
// that the due time is no date.
std::optional<DueTime> dueTime(const QDateTime &split, const QDateTime &now, qint64 minutes, const QTimeZone &zone);

// The platform's standard text for a date: "2016-03-01 10:05:00 +0000".
QString utcText(const QDateTime &date);

} // namespace due
