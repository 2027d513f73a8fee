#include "Activation.h"
#include "System.h"
#include "Testing.h"

#include <QDBusConnectionInterface>
#include <csignal>
#include <future>

namespace {

// A later start reaches the running instance under the app's name; once that
// instance has ended, the name is free for the next one.
TEST(InstanceActivation, AnswersALaterStartAndLetsItsNameGo)
{
    HelperProcess bus({"bus"});
    ASSERT_TRUE(bus.ok());
    const QDBusConnection asking = QDBusConnection::connectToBus(bus["address"], "asking");
    const auto held = [&] { return asking.interface()->isServiceRegistered("example.tavrel.ZandorUpdate").value(); };
    int activated = 0;
    {
        platform::InstanceActivation running(QDBusConnection::connectToBus(bus["address"], "running"),
                                             [&] { ++activated; });
        ASSERT_TRUE(waitUntil(held));
        // Asked from another thread: the call blocks until this one answers.
        auto answered =
            std::async(std::launch::async, [&] { return platform::InstanceActivation::activateRunning(asking); });
        EXPECT_TRUE(waitUntil([&] { return activated == 1; }));
        EXPECT_TRUE(answered.get());
    }
    EXPECT_TRUE(waitUntil([&] { return !held(); }));
    EXPECT_FALSE(platform::InstanceActivation::activateRunning(asking));
    QDBusConnection::disconnectFromBus("running");
    QDBusConnection::disconnectFromBus("asking");
}

// Once the app is torn down, another logout or Ctrl-C ends it at once.
TEST(SessionEndSignals, AreGivenBackWhenTheAppGoes)
{
    {
        platform::SessionEndSignals watching;
    }
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction now {};
        ::sigaction(signal, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << signal;
    }
}

} // namespace
