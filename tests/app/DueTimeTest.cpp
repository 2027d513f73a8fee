#include "DueTime.h"

#include "Testing.h"

namespace {

// Amsterdam wall-clock times in, the platform's date text out.
TEST(DueTime, TheHourOrTheNextWithMinutesCarriedAsAClockWould)
{
    const QTimeZone amsterdam("Europe/Amsterdam");
    struct Case {
        QDate date;
        QTime now;
        qint64 minutes;
        const char *due;
        bool thisHour;
    };
    const Case cases[] = {
        {QDate(2016, 3, 1), QTime(10, 3), 5, "2016-03-01 09:05:00 +0000", true},
        {QDate(2016, 3, 1), QTime(10, 4, 59, 999), 5, "2016-03-01 09:05:00 +0000", true},
        {QDate(2016, 3, 1), QTime(10, 5), 5, "2016-03-01 10:05:00 +0000", false},
        {QDate(2016, 3, 1), QTime(10, 5, 0, 500), 5, "2016-03-01 10:05:00 +0000", false},
        // Minute zero: the next full hour, unless it is exactly now.
        {QDate(2016, 3, 1), QTime(10, 0, 30), 0, "2016-03-01 10:00:00 +0000", false},
        {QDate(2016, 3, 1), QTime(10, 0), 0, "2016-03-01 09:00:00 +0000", true},
        {QDate(2016, 12, 31), QTime(23, 30), 15, "2016-12-31 23:15:00 +0000", false}, // into the next year
        {QDate(2016, 3, 1), QTime(10, 20), 75, "2016-03-01 10:15:00 +0000", true},
        {QDate(2016, 3, 1), QTime(10, 20), 150, "2016-03-01 11:30:00 +0000", true},
        {QDate(2016, 3, 1), QTime(10, 20), -5, "2016-03-01 09:55:00 +0000", false},
        {QDate(2016, 3, 1), QTime(10, 40), -30, "2016-03-01 09:30:00 +0000", false}, // already past
        {QDate(2016, 3, 1), QTime(0, 10), -30, "2016-02-29 23:30:00 +0000", false},  // the day before
        {QDate(2016, 10, 30), QTime(1, 50), 15, "2016-10-30 00:15:00 +0000", false}, // clocks go back
    };
    for (const auto &c : cases) {
        const QDateTime now(c.date, c.now, amsterdam);
        const auto due = due::dueTime(now, now, c.minutes, amsterdam);
        ASSERT_TRUE(due);
        EXPECT_EQ(due::utcText(due->when), c.due) << c.now.toString().toStdString() << " M=" << c.minutes;
        EXPECT_EQ(due->thisHour, c.thisHour) << c.due;
    }
    // Lord Howe puts its clocks back by half an hour: the first 01:45 of two.
    const QTimeZone lordHowe("Australia/Lord_Howe");
    const QDateTime early(QDate(2024, 4, 7), QTime(1, 20), lordHowe);
    EXPECT_EQ(due::utcText(due::dueTime(early, early, 45, lordHowe).value().when), "2024-04-06 14:45:00 +0000");
    const QDateTime now(QDate(2016, 3, 1), QTime(10, 3), amsterdam);
    EXPECT_FALSE(due::dueTime(now, now, 9223372036854775807, amsterdam)); // no date is that far
    EXPECT_TRUE(due::dueTime(now, now, -1'000'000'000, amsterdam));       // the farthest taken, either way
    EXPECT_TRUE(due::dueTime(now, now, 1'000'000'000, amsterdam));
}

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
        {"America/Santiago", QDate(2022, 9, 10), 0, QTime(1, 15), QDate(2022, 9, 11)},
        {"America/Asuncion", QDate(2023, 9, 30), 0, QTime(1, 15), QDate(2023, 10, 1)},
        // The ordinary 02:00 changes.
        {"Europe/Amsterdam", QDate(2016, 3, 27), 2, QTime(3, 15), QDate(2016, 3, 27)},
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
