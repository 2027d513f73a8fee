#include "Notifier.h"
#include "Testing.h"

namespace {

// What one daemon was sent for two notifications, and how often we played the sound.
std::pair<std::string, int> notified(const QString &capabilities)
{
    HelperProcess bus({"bus"});
    HelperProcess daemon({"mock", bus["address"], QString(R"({"capabilities": "%1"})").arg(capabilities)});
    EXPECT_TRUE(bus.ok() && daemon.ok());
    auto log = [&] { return readFile(daemon["log"]).toStdString(); };
    const QString name = QUuid::createUuid().toString();
    int sounds = 0;
    {
        RecordingNotifier own;
        platform::DBusNotifier notifier(QDBusConnection::connectToBus(bus["address"], name), &own, "zandorupdate",
                                        [&] { ++sounds; });
        notifier.post("File Succesfully Received", "/home/u/News & Weather <Live>/zandor.mpeg");
        notifier.post("Second", "");
        EXPECT_TRUE(waitUntil([&] { return occurrences(log(), "Notify") >= 2; }));
        EXPECT_TRUE(own.posted.empty());
    }
    QDBusConnection::disconnectFromBus(name);
    return {log(), sounds};
}

TEST(DBusNotifier, SaysExactlyTheCallersTextsAsEachServerReadsThem)
{
    // A server that reads markup (as xfce4-notifyd, dunst, mako and GNOME
    // Shell do) gets the three special characters escaped; we play the sound.
    auto [log, sounds] = notified("body body-markup");
    EXPECT_NE(log.find("\"ZandorUpdate\" 0 \"zandorupdate\" \"File Succesfully Received\" "
                       "\"/home/u/News &amp; Weather &lt;Live&gt;/zandor.mpeg\""),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"ZandorUpdate\" 0 \"zandorupdate\" \"Second\" \"\""), std::string::npos) << log;
    EXPECT_NE(log.find("desktop-entry"), std::string::npos);
    EXPECT_EQ(log.find("sound-name"), std::string::npos);
    EXPECT_EQ(sounds, 2);
    EXPECT_EQ(occurrences(log, "GetCapabilities"), 1); // asked once

    // Plain text and its own sounds: the body raw, the sound as a hint.
    std::tie(log, sounds) = notified("body sound");
    EXPECT_NE(log.find("\"/home/u/News & Weather <Live>/zandor.mpeg\""), std::string::npos) << log;
    EXPECT_NE(log.find("sound-name"), std::string::npos);
    EXPECT_EQ(sounds, 0);
}

TEST(DBusNotifier, WithoutAServiceOurOwnWindowsShowItAndSaySoOnce)
{
    HelperProcess bus({"bus"}); // nobody owns org.freedesktop.Notifications here
    ASSERT_TRUE(bus.ok());
    const QString name = QUuid::createUuid().toString();
    RecordingNotifier own;
    std::string log;
    std::string out = capturedOutput([&] {
        platform::DBusNotifier notifier(QDBusConnection::connectToBus(bus["address"], name), &own, "icon");
        notifier.post("One", "1");
        notifier.post("Two", "2");
        waitUntil([&] { return own.posted.size() >= 2; }, 10000);
        // A daemon that starts after the app gets the next one.
        HelperProcess daemon({"mock", bus["address"]});
        ASSERT_TRUE(daemon.ok());
        notifier.post("Later", "3");
        EXPECT_TRUE(waitUntil([&] { return readFile(daemon["log"]).contains("Notify"); }));
        log = readFile(daemon["log"]).toStdString();
    });
    QDBusConnection::disconnectFromBus(name);
    EXPECT_NE(log.find("\"Later\" \"3\""), std::string::npos) << log;
    EXPECT_EQ(own.posted, (std::vector<Notification>{{"One", "1"}, {"Two", "2"}}));
    EXPECT_EQ(occurrences(out, "Desktop notifications unavailable"), 1) << out;
}

} // namespace
