#include "DueTime.h"

#include "TavrelExtensions.h"

#include <algorithm>
#include <charconv>

namespace due {

namespace {

// Past this many minutes the due time is no date anybody can wait for.
constexpr qint64 kFarthestMinutes = 1'000'000'000;
constexpr qint64 kMinutesPerDay = 24 * 60;

// A wall-clock reading `minutes` after the midnight that starts `day`, with
// the date and the time carried together.
QDateTime wallClock(const QDate &day, qint64 minutes, const QTimeZone &zone)
{
    qint64 days = minutes / kMinutesPerDay;
    qint64 rest = minutes % kMinutesPerDay;
    if (rest < 0) {
        rest += kMinutesPerDay;
        --days;
    }
    return QDateTime(day.addDays(days), QTime(int(rest / 60), int(rest % 60)), zone);
}

std::optional<QDateTime> hourMinute(const QDate &day, qint64 hour, qint64 minutes, const QTimeZone &zone)
{
    if (minutes > kFarthestMinutes || minutes < -kFarthestMinutes)
        return std::nullopt;
    const qint64 reading = hour * 60 + minutes;
    QDateTime result = wallClock(day, reading, zone);
    if (!result.date().isValid())
        return std::nullopt;
    // A time the clocks show twice (the autumn change): the first of the two.
    for (const int earlier : {3600, 1800}) {
        const QDateTime first = result.addSecs(-earlier).toTimeZone(zone);
        if (result.isValid() && first.date() == result.date() && first.time() == result.time()) {
            result = first;
            break;
        }
    }
    // A time the clocks skip (the spring change): count on from before the
    // gap, so 02:15 becomes 03:15, and 00:15 after a jump at midnight 01:15
    // of that same day.
    for (qint64 back = 15; !result.isValid() && back <= 180; back += 15)
        result = wallClock(day, reading - back, zone).addSecs(back * 60);
    return result;
}

} // namespace

std::variant<qint64, MinutesError> parseMinutes(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    const bool plus = begin != end && *begin == '+';
    if (plus)
        ++begin; // from_chars takes '-' but not '+'
    const char *digits = !plus && begin != end && *begin == '-' ? begin + 1 : begin;
    if (digits == end || !std::all_of(digits, end, [](char c) { return c >= '0' && c <= '9'; }))
        return MinutesError::NotAWholeNumber;
    qint64 value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range)
        return MinutesError::OutOfRange;
    if (error != std::errc() || stop != end)
        return MinutesError::NotAWholeNumber;
    return value;
}

std::optional<DueTime> dueTime(const QDateTime &split, const QDateTime &now, qint64 minutes, const QTimeZone &zone)
{
    const QDateTime local = split.toTimeZone(zone);
    const QDate day = local.date();
    const qint64 h = local.time().hour();
    const auto startOfHour = hourMinute(day, h, 0, zone);
    const auto dueThisHour = hourMinute(day, h, minutes, zone);
    const auto dueNextHour = hourMinute(day, h + 1, minutes, zone);
    if (!startOfHour || !dueThisHour || !dueNextHour)
        return std::nullopt;
    if (TavrelExtensions::isBetween(now, *startOfHour, *dueThisHour))
        return DueTime{*dueThisHour, true};
    return DueTime{*dueNextHour, false};
}

QString utcText(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

} // namespace due
