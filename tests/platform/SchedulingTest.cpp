#include "SleepWatcher.h"
#include "Testing.h"
#include "Timers.h"

#include <QThread>
#include <cstring>
#include <ctime>
#include <iostream>

namespace {

using namespace std::chrono_literals;

TEST(WallClockTimers, FiresAtTheWallClockTimeThenEveryInterval)
{
    platform::WallClockTimers timers;
    std::vector<qint64> firings;
    const QDateTime first = QDateTime::currentDateTime().addMSecs(200);
    auto timer =
        timers.scheduleRepeating(first, 300ms, {[&] { firings.push_back(QDateTime::currentMSecsSinceEpoch()); }, {}});
    // A clock set by hand or by NTP must reach us: the kernel is asked to say so (absolute, cancel on set).
    bool toldOfClockChanges = false;
    for (const QFileInfo &fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
        if (fd.symLinkTarget().endsWith("anon_inode:[timerfd]"))
            toldOfClockChanges |= readFile("/proc/self/fdinfo/" + fd.fileName()).contains("settime flags: 03");
    EXPECT_TRUE(toldOfClockChanges);
    ASSERT_TRUE(waitUntil([&] { return firings.size() >= 1; }, 5000));
    EXPECT_GE(firings[0], first.toMSecsSinceEpoch());
    QThread::msleep(250); // a late firing...
    ASSERT_TRUE(waitUntil([&] { return firings.size() >= 3; }, 5000));
    // ...does not move the later ones: they stay on first + n * interval.
    const qint64 third = firings[2] - first.toMSecsSinceEpoch();
    EXPECT_GE(third, 600);
    EXPECT_LT(third, 600 + 250);

    timer->invalidate();
    timer->invalidate(); // harmless
    EXPECT_FALSE(timer->isValid());
    const size_t count = firings.size();
    waitUntil([] { return false; }, 700);
    EXPECT_EQ(firings.size(), count);
}

TEST(WallClockTimers, APastFireDateFiresAtOnceAndMissedOnesAreNotMadeUp)
{
    platform::WallClockTimers timers;
    int firings = 0;
    auto timer =
        timers.scheduleRepeating(QDateTime::currentDateTime().addSecs(-3600 * 5), 1h, {[&] { ++firings; }, {}});
    ASSERT_TRUE(waitUntil([&] { return firings >= 1; }, 3000));
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(firings, 1);
    // The clock set (to the time it shows, unnoticed by anything else): the
    // timer is armed again for its next firing, which is not now.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (::clock_settime(CLOCK_REALTIME, &now) != 0) {
        std::cout << "NOT CHECKED here, the clock cannot be set: " << std::strerror(errno) << std::endl;
        return;
    }
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(firings, 1);
}

TEST(WallClockTimers, AHandlerMayReplaceItsOwnTimer)
{
    platform::WallClockTimers timers;
    std::shared_ptr<platform::RepeatingTimer> timer;
    int firings = 0;
    std::function<void()> rearm = [&] {
        ++firings;
        timer = timers.scheduleRepeating(QDateTime::currentDateTime().addMSecs(50), 1h, {rearm, {}});
    };
    const auto descriptors = [] { return QDir("/proc/self/fd").count(); };
    const auto before = descriptors();
    timer = timers.scheduleRepeating(QDateTime::currentDateTime().addMSecs(50), 1h, {rearm, {}});
    EXPECT_TRUE(waitUntil([&] { return firings >= 10; }, 5000));
    EXPECT_LE(descriptors(), before + 2); // each replaced timer gave its descriptor back
}

// logind's PrepareForSleep: true before sleep, false after wake.
TEST(LogindSleepWatcher, TellsSleepAndWakeFromLogindsSignal)
{
    HelperProcess bus({"bus"});
    ASSERT_TRUE(bus.ok());
    QDBusConnection logind = QDBusConnection::connectToBus(bus["address"], "logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    std::vector<QString> heard;
    {
        platform::LogindSleepWatcher watcher(QDBusConnection::connectToBus(bus["address"], "watcher"));
        for (const QString &name : {platform::kWillSleepNotification, platform::kDidWakeNotification})
            watcher.subscribe(name, [&](const QString &told) { heard.push_back(told); });
        for (const bool sleeping : {true, false}) {
            QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                             "org.freedesktop.login1.Manager", "PrepareForSleep");
            signal << sleeping;
            logind.send(signal);
            EXPECT_TRUE(waitUntil([&] { return heard.size() == (sleeping ? 1u : 2u); }));
        }
    }
    EXPECT_EQ(heard, (std::vector<QString>{platform::kWillSleepNotification, platform::kDidWakeNotification}));
    QDBusConnection::disconnectFromBus("watcher");
    QDBusConnection::disconnectFromBus("logind");
}

} // namespace
