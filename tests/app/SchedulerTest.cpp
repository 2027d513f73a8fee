#include "AppFixture.h"

#include <QTimeZone>

namespace {

QDateTime local(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

// The clock reads Amsterdam time (the test runs with TZ=Europe/Amsterdam).
class SchedulerTest : public AppFixture {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QDateTime::currentDateTime().timeZoneAbbreviation().left(1), "C"); // CET or CEST
        start();
        // No form selected: a firing is refused at once, and no request goes anywhere.
        delegate.appSettings.insert("mpg_download", 0);
        services.notifier.posted.clear();
    }

    // Arms at the given time with M minutes; returns the due-time line.
    std::string arm(const QDateTime &now, const QVariant &minutes)
    {
        services.clock.time = now;
        delegate.appSettings.insert("minutes_after_hour", minutes);
        return capturedOutput([&] { delegate.startTimer(); });
    }
    // The first firing of the one live timer (hourly from then on), if any.
    std::optional<QDateTime> armed() const
    {
        std::optional<QDateTime> first;
        for (const auto &timer : services.timers.scheduled)
            if (timer->isValid()) {
                EXPECT_FALSE(first) << "a second live timer";
                EXPECT_EQ(timer->interval, std::chrono::hours(1));
                first = timer->next;
            }
        return first;
    }
};

TEST_F(SchedulerTest, DueThisHourBeforeTheMinuteAndNextHourFromIt)
{
    EXPECT_EQ(arm(local(2016, 3, 1, 10, 3), "5"), "duedate this hour=2016-03-01 09:05:00 +0000\n");
    ASSERT_EQ(armed(), local(2016, 3, 1, 10, 5));
    services.timers.scheduled.back()->handlers.fire(); // a firing is an unattended update
    EXPECT_EQ(services.notifier.posted,
              (std::vector<Notification>{{"Update not Executed", "Select at least one FileType"}}));

    EXPECT_EQ(arm(local(2016, 3, 1, 10, 5), "+5"), "duedate next hour=2016-03-01 10:05:00 +0000\n");
    EXPECT_EQ(armed(), local(2016, 3, 1, 11, 5));
    // Already past: handed over as it is, and the timer fires it at once.
    EXPECT_EQ(arm(local(2016, 3, 1, 10, 40), "-30"), "duedate next hour=2016-03-01 09:30:00 +0000\n");
    EXPECT_EQ(armed(), local(2016, 3, 1, 10, 30));
}

TEST_F(SchedulerTest, AutomaticDownloadOffStopsTheTimerAndSaysSoEachTime)
{
    arm(local(2016, 3, 1, 10, 3), "5");
    ASSERT_FALSE(services.timers.scheduled.empty());
    auto first = services.timers.scheduled.back();
    delegate.appSettings.insert("automatic_download", 0);
    EXPECT_EQ(arm(local(2016, 3, 1, 10, 3), "5"), "");
    EXPECT_FALSE(first->isValid());
    EXPECT_EQ(delegate.timer, first); // the field keeps the old timer
    arm(local(2016, 3, 1, 10, 3), "5");
    EXPECT_EQ(services.notifier.posted,
              (std::vector<Notification>{{"Download not Executed", "AutoDownload is turned Off"},
                                         {"Download not Executed", "AutoDownload is turned Off"}}));
    EXPECT_FALSE(armed());
}

TEST_F(SchedulerTest, MinutesThatAreNoNumberArmNothingAndSaySo)
{
    // No whole number, beyond a 64-bit one, or so far that no date is due: nothing armed, never a loop.
    for (const auto &[minutes, said] : {std::pair{"٣", "is not a whole number: \"٣\""},
                                        {"99999999999999999999", "is out of range: \"99999999999999999999\""},
                                        {"9223372036854775807", "is out of range: \"9223372036854775807\""}}) {
        arm(local(2016, 3, 1, 10, 3), "5");
        services.notifier.posted.clear();
        EXPECT_EQ(arm(local(2016, 3, 1, 10, 3), QString(minutes)), "");
        EXPECT_EQ(
            services.notifier.posted,
            (std::vector<Notification>{{"Download not Executed", "\"Minutes after the hour\" " + QString(said)}}));
        EXPECT_FALSE(armed());
    }
    // A number in the file (20, not "20") is read as its decimal text.
    EXPECT_EQ(arm(local(2016, 3, 1, 10, 3), qint64(20)), "duedate this hour=2016-03-01 09:20:00 +0000\n");
    delegate.appSettings.remove("minutes_after_hour");
    services.notifier.posted.clear();
    delegate.startTimer();
    ASSERT_EQ(services.notifier.posted.size(), 1u);
    EXPECT_EQ(services.notifier.posted[0].title, "Download not Executed");
}

TEST_F(SchedulerTest, TheTransferIsReadiedBeforeAFiringThatIsNotAlreadyUnderWay)
{
    struct Readied final : platform::HttpClient {
        int prepared = 0;
        void prepare() override { ++prepared; }
        void download(const platform::HttpRequest &, Progress, Completion) override {}
    } http;
    platform::Services readying = platform::services();
    readying.http = &http;
    const platform::ServicesScope scope(readying);
    AppDelegate app;
    app.appSettings.insert("minutes_after_hour", "5");
    // 30 s ahead: at once; a second ahead, the firing loads what it needs itself.
    for (const auto &[second, readied] : {std::pair{30, 1}, {59, 1}}) {
        services.clock.time = local(2016, 3, 1, 10, 4).addSecs(second);
        capturedOutput([&] { app.startTimer(); });
        waitUntil([&] { return http.prepared > readied; }, 300);
        EXPECT_EQ(http.prepared, readied) << second;
    }
}

TEST_F(SchedulerTest, SleepStopsTheTimerAndWakeOrASetClockComputesAFreshDueTime)
{
    arm(local(2016, 3, 1, 10, 3), "5");
    services.sleepWatcher.post(platform::kWillSleepNotification);
    EXPECT_FALSE(armed());
    services.clock.time = local(2016, 3, 1, 12, 30);
    std::string out = capturedOutput([&] { services.sleepWatcher.post(platform::kDidWakeNotification); });
    EXPECT_EQ(out, "duedate next hour=2016-03-01 12:05:00 +0000\n");
    EXPECT_EQ(armed(), local(2016, 3, 1, 13, 5));
    out = capturedOutput([&] { delegate.sleepListener("SomethingElse"); });
    EXPECT_EQ(out, "Some other event other than the first two\n");

    services.clock.time = local(2016, 3, 1, 17, 40);
    out = capturedOutput([&] { services.timers.scheduled.back()->handlers.wallClockChanged(); });
    EXPECT_EQ(out, "duedate next hour=2016-03-01 17:05:00 +0000\n");
    EXPECT_EQ(armed(), local(2016, 3, 1, 18, 5));
}

} // namespace
