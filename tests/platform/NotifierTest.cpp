#include "Notifier.h"
#include "Doubles.h"
#include "EventLoop.h"
#include "Processes.h"

#include <QDBusConnection>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

TEST(DBusNotifier, SendsNotifyWithOurNameHintsAndNoReplacement)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.ok());
    DBusMock daemon(bus, "notification_daemon");
    ASSERT_TRUE(daemon.ok());
    const QString name = QUuid::createUuid().toString();
    {
        FakeStatusItem tray;
        platform::DBusNotifier notifier(QDBusConnection::connectToBus(bus.address(), name), &tray, "zandorupdate");
        notifier.post("File Succesfully Received", "/home/u/Documents/zandor.mpeg");
        notifier.post("Second", "");
        ASSERT_TRUE(waitUntil([&] { return occurrences(daemon.log().toStdString(), "Notify") >= 2; }));
        EXPECT_TRUE(tray.messages.empty());
    }
    QDBusConnection::disconnectFromBus(name);
    const std::string log = daemon.log().toStdString();
    EXPECT_NE(log.find("\"ZandorUpdate\" 0 \"zandorupdate\" \"File Succesfully Received\" "
                       "\"/home/u/Documents/zandor.mpeg\""),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"ZandorUpdate\" 0 \"zandorupdate\" \"Second\" \"\""), std::string::npos) << log;
    EXPECT_NE(log.find("desktop-entry"), std::string::npos);
    EXPECT_NE(log.find("sound-name"), std::string::npos);
}

TEST(DBusNotifier, WithoutAServiceFallsBackToTheTrayAndSaysSoOnce)
{
    PrivateBus bus; // nobody owns org.freedesktop.Notifications here
    ASSERT_TRUE(bus.ok());
    const QString name = QUuid::createUuid().toString();
    FakeStatusItem tray;
    std::string out = capturedOutput([&] {
        platform::DBusNotifier notifier(QDBusConnection::connectToBus(bus.address(), name), &tray, "icon");
        notifier.post("One", "1");
        notifier.post("Two", "2");
        waitUntil([&] { return tray.messages.size() >= 2; }, 10000);
    });
    QDBusConnection::disconnectFromBus(name);
    ASSERT_EQ(tray.messages.size(), 2u);
    EXPECT_EQ(tray.messages[0], (Notification{"One", "1"}));
    EXPECT_EQ(occurrences(out, "Desktop notifications unavailable"), 1) << out;

    // No bus at all: the same, at once.
    FakeStatusItem other;
    capturedOutput([&] {
        platform::DBusNotifier notifier(QDBusConnection(QStringLiteral("not connected")), &other, "icon");
        notifier.post("Three", "3");
    });
    EXPECT_EQ(other.messages.size(), 1u);
}

} // namespace
