#include "Dialogs.h"
#include "SleepWatcher.h"
#include "Testing.h"
#include "Timers.h"

#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>

namespace {

using namespace std::chrono_literals;

TEST(WallClockTimers, FiresAtTheWallClockTimeThenEveryInterval)
{
    platform::WallClockTimers timers;
    std::vector<qint64> firings;
    const QDateTime first = QDateTime::currentDateTime().addMSecs(200);
    auto timer =
        timers.scheduleRepeating(first, 300ms, {[&] { firings.push_back(QDateTime::currentMSecsSinceEpoch()); }, {}});
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
    QElapsedTimer quiet;
    quiet.start();
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
}

TEST(WallClockTimers, FiresWhileAModalBoxIsOpen)
{
    platform::WallClockTimers timers;
    int firings = 0;
    auto timer = timers.scheduleRepeating(QDateTime::currentDateTime().addMSecs(100), 100ms, {[&] { ++firings; }, {}});
    QTimer::singleShot(600, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    platform::QtAlerts alerts;
    alerts.runModal({"Waiting", "", {"OK"}, std::nullopt});
    EXPECT_GE(firings, 3);
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
    timer = timers.scheduleRepeating(QDateTime::currentDateTime().addMSecs(50), 1h, {rearm, {}});
    EXPECT_TRUE(waitUntil([&] { return firings >= 3; }, 5000));
}

TEST(LogindSleepWatcher, PrepareForSleepBecomesSleepAndWake)
{
    HelperProcess bus({"bus", "system"});
    HelperProcess logind({"mock", bus["address"], "logind"});
    ASSERT_TRUE(logind.ok());
    const QString name = QUuid::createUuid().toString();
    QDBusConnection connection = QDBusConnection::connectToBus(bus["address"], name);
    std::vector<QString> seen;
    {
        platform::LogindSleepWatcher watcher(connection);
        watcher.subscribe(platform::kWillSleepNotification, [&](const QString &n) { seen.push_back(n); });
        watcher.subscribe(platform::kDidWakeNotification, [&](const QString &n) { seen.push_back(n); });
        for (const bool sleeping : {true, false}) {
            QDBusMessage request = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                                  "org.freedesktop.DBus.Mock", "EmitSignal");
            request << QString("org.freedesktop.login1.Manager") << QString("PrepareForSleep") << QString("b")
                    << QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(sleeping))});
            const QDBusMessage reply = connection.call(request);
            ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
        }
        ASSERT_TRUE(waitUntil([&] { return seen.size() >= 2; }, 5000));
    }
    QDBusConnection::disconnectFromBus(name);
    EXPECT_EQ(seen, (std::vector<QString>{platform::kWillSleepNotification, platform::kDidWakeNotification}));
}

TEST(LogindSleepWatcher, WithoutASystemBusItSaysSoOnceAndCarriesOn)
{
    const std::string out =
        capturedOutput([] { platform::LogindSleepWatcher watcher(QDBusConnection(QStringLiteral("none"))); });
    EXPECT_EQ(out, "No system bus or logind: sleep and wake will not be noticed\n");
}

} // namespace
