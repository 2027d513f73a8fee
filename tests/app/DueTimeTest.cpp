#include "DueTime.h"

#include <gtest/gtest.h>

namespace {

// Spring changes, each armed at ten to the hour before the jump with M = 15:
// the due time lands in the skipped hour and counts on from before the gap.
struct SpringGap {
    const char *zone;
    QDate eve;   // the day whose clock reads 23:50 / 01:50 when arming
    int hour;    // the hour the clocks jump from
    QTime due;   // the wall-clock due time after the gap
    QDate dueOn; // and its day
};

TEST(DueTime, ASkippedTimeMovesDateAndTimeTogether)
{
    const SpringGap cases[] = {
        // Clocks jump at midnight: the next hour is on the following day.
        {"America/Havana", QDate(2023, 3, 11), 0, QTime(1, 15), QDate(2023, 3, 12)},
        {"America/Havana", QDate(2024, 3, 9), 0, QTime(1, 15), QDate(2024, 3, 10)},
        {"Asia/Beirut", QDate(2022, 3, 26), 0, QTime(1, 15), QDate(2022, 3, 27)},
        {"Asia/Beirut", QDate(2024, 3, 30), 0, QTime(1, 15), QDate(2024, 3, 31)},
        {"America/Santiago", QDate(2022, 9, 10), 0, QTime(1, 15), QDate(2022, 9, 11)},
        {"America/Santiago", QDate(2023, 9, 2), 0, QTime(1, 15), QDate(2023, 9, 3)},
        {"America/Asuncion", QDate(2022, 10, 1), 0, QTime(1, 15), QDate(2022, 10, 2)},
        {"America/Asuncion", QDate(2023, 9, 30), 0, QTime(1, 15), QDate(2023, 10, 1)},
        // The ordinary 02:00 changes.
        {"Europe/Amsterdam", QDate(2016, 3, 27), 2, QTime(3, 15), QDate(2016, 3, 27)},
        {"Europe/Amsterdam", QDate(2024, 3, 31), 2, QTime(3, 15), QDate(2024, 3, 31)},
        {"America/New_York", QDate(2024, 3, 10), 2, QTime(3, 15), QDate(2024, 3, 10)},
    };
    for (const auto &c : cases) {
        const QTimeZone zone(c.zone);
        ASSERT_TRUE(zone.isValid()) << c.zone;
        const QDateTime now(c.eve, c.hour == 0 ? QTime(23, 50) : QTime(c.hour - 1, 50), zone);
        ASSERT_TRUE(now.isValid()) << c.zone;
        const auto due = due::dueTime(now, now, 15, zone);
        ASSERT_TRUE(due) << c.zone;
        EXPECT_FALSE(due->thisHour);
        const QDateTime local = due->when.toTimeZone(zone);
        EXPECT_EQ(local.date(), c.dueOn) << c.zone << " " << c.eve.year();
        EXPECT_EQ(local.time(), c.due) << c.zone << " " << c.eve.year();
        EXPECT_EQ(now.secsTo(due->when), 25 * 60) << c.zone << " " << c.eve.year();
    }
}

TEST(DueTime, MinutesParseAsWholeNumbersWithinRange)
{
    using due::MinutesError;
    const std::pair<QString, std::variant<qint64, MinutesError>> cases[] = {
        {"5", qint64(5)},
        {"+5", qint64(5)},
        {"-120", qint64(-120)},
        {"9223372036854775807", qint64(9223372036854775807)},
        {"99999999999999999999", MinutesError::OutOfRange},
        {"-99999999999999999999", MinutesError::OutOfRange},
        {"", MinutesError::NotAWholeNumber},
        {" 5", MinutesError::NotAWholeNumber},
        {"5.5", MinutesError::NotAWholeNumber},
        {"+-5", MinutesError::NotAWholeNumber},
        {"٣", MinutesError::NotAWholeNumber},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(due::parseMinutes(text), expected) << text.toStdString();
}

} // namespace
