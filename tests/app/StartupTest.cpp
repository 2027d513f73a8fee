#include "AppFixture.h"

namespace {

using StartupTest = AppFixture;

TEST_F(StartupTest, ConstructionHoldsTheTenDefaults)
{
    EXPECT_EQ(delegate.appSettings, (QVariantMap{{"mpg_url", "https://news.zandor.example/zandor/zandor.mpeg"},
                                                 {"mxf_url", "https://news.zandor.example/zandor/zandor.mxf"},
                                                 {"mpg_download", 1},
                                                 {"mxf_download", 0},
                                                 {"username", ""},
                                                 {"password", ""},
                                                 {"minutes_after_hour", "5"},
                                                 {"start_at_startup", 1},
                                                 {"automatic_download", 1},
                                                 {"downloadfilepath", ""}}));
    EXPECT_EQ(delegate.updates().requestsPerUpdate(), 1);
    EXPECT_TRUE(services.statusItem.images.empty()); // no image or menu before start-up
}

// The controller without its windows: it starts, fills no control that is
// not there, and the record and the update follow the file.
TEST(Controller, ReadsItsSettingsWithoutItsWindows)
{
    TestHome home;
    DoubledServices services;
    AppDelegate delegate;
    QVariantMap settings = AppDelegate::builtInDefaults();
    settings.insert({{"mxf_download", 1}, {"username", "news"}});
    writeFile(home.settingsFile(), toXmlPlist({{"appSettings", settings}}));
    capturedOutput([&] { delegate.applicationDidFinishLaunching(); });
    EXPECT_EQ(delegate.appSettings.value("username"), "news");
    EXPECT_EQ(delegate.updates().requestsPerUpdate(), 2);
}

TEST_F(StartupTest, FirstStartSeedsTheFileAndLoadsIt)
{
    start();
    EXPECT_TRUE(services.alerts.shown.empty());
    EXPECT_EQ(delegate.appSettings.value("mpg_download"), 1);
    // An empty folder means the documents folder, in the record only.
    EXPECT_EQ(delegate.appSettings.value("downloadfilepath"), home.documents());
    EXPECT_EQ(stored().value("downloadfilepath"), "");
    EXPECT_EQ(delegate.setLabelFolder->text(), home.documents());
    EXPECT_EQ(services.statusItem.images, std::vector<QString>{"statusIcon"});
    EXPECT_EQ(services.statusItem.menu, delegate.statusMenu.data());
    EXPECT_EQ(services.application.iconNull, false);
    EXPECT_EQ(services.sleepWatcher.handlers.size(), 2u);
    EXPECT_EQ(services.timers.liveTimers(), 1);
    EXPECT_NE(output.find("duedate this hour=2016-03-01 "), std::string::npos) << output;
    EXPECT_EQ(delegate.lblUrlAbout->palette().color(QPalette::WindowText), QColor(Qt::blue)); // ready before About
}

TEST_F(StartupTest, AFileWithoutTheEntryGivesOneErrorAndTheDefaults)
{
    writeFile(home.settingsFile(), toXmlPlist({{"somethingElse", 1}}));
    bool menuAttachedDuringAlert = true;
    services.alerts.onShow = [&] { menuAttachedDuringAlert = services.statusItem.menu != nullptr; };
    start();
    ASSERT_EQ(services.alerts.shown.size(), 1u);
    const auto &alert = services.alerts.shown[0];
    EXPECT_EQ(alert.spec.messageText + "|" + alert.spec.informativeText + "|" + alert.spec.buttons.join(","),
              "Error|Error Reading Application Settings File|OK");
    EXPECT_FALSE(alert.soundPlayed);
    EXPECT_FALSE(menuAttachedDuringAlert);
    EXPECT_EQ(delegate.appSettings, AppDelegate::builtInDefaults());
    EXPECT_EQ(services.timers.liveTimers(), 1);             // the defaults arm the hourly update
    EXPECT_EQ(delegate.setUserName->text(), "");            // controls were not filled
    writeFile(home.settingsFile(), "\x00\x01 not a plist"); // garbage: the same
    capturedOutput([&] { delegate.readFromPlist(); });
    EXPECT_EQ(services.alerts.shown.size(), 2u);
}

TEST_F(StartupTest, OnlyTheTenKeysAreTakenAndSavingDropsTheRest)
{
    writeSettings({{"username", "ann"}, {"extra", "x"}, {"mpg_download", true}, {"minutes_after_hour", "7"}},
                  {{"keep", "me"}});
    start();
    EXPECT_FALSE(delegate.appSettings.contains("extra"));
    EXPECT_EQ(delegate.appSettings.value("username"), "ann");
    EXPECT_FALSE(delegate.appSettings.contains("password") || delegate.appSettings.contains("downloadfilepath"));
    EXPECT_EQ(services.timers.liveTimers(), 1); // and a missing switch reads as on
    delegate.writeToPlist();
    const QVariantMap saved = stored();
    EXPECT_FALSE(saved.contains("extra"));
    EXPECT_EQ(parsePlistDictionary(readFile(home.settingsFile()))->value("keep"), "me");
    // Switches become 0 or 1, minutes stay text, whatever they were before.
    EXPECT_EQ(saved.value("mpg_download"), QVariant(qint64(1)));
    EXPECT_EQ(saved.value("mpg_download").typeId(), QMetaType::LongLong);
    EXPECT_EQ(saved.value("minutes_after_hour"), QVariant(QString("7")));
    EXPECT_EQ(saved.value("password"), "");
}

TEST_F(StartupTest, ASwitchStoredAsARealNumberIsReadByItsValue)
{
    writeSettings({{"username", "ann"}, {"mpg_download", 1.0}, {"mxf_download", 2.5}, {"automatic_download", 0.0}});
    start();
    EXPECT_TRUE(delegate.setDownloadFormatMXF->isChecked());
    EXPECT_EQ(delegate.updates().requestsPerUpdate(), 2);
    EXPECT_FALSE(delegate.setAutomaticDownload->isChecked());
    EXPECT_EQ(services.timers.liveTimers(), 0); // off: nothing armed
}

TEST_F(StartupTest, QuitEndsTheApplicationWithoutSaving)
{
    start();
    const QByteArray before = readFile(home.settingsFile());
    delegate.setUserName->setText("changed");
    delegate.quitClicked();
    EXPECT_EQ(services.application.terminations, 1);
    EXPECT_EQ(readFile(home.settingsFile()), before);
}

TEST_F(StartupTest, WithoutATrayTheSettingsWindowComesUpOnce)
{
    services.statusItem.inTray = false;
    start();
    for (int i = 0; i < 8; ++i)
        QMetaObject::invokeMethod(&delegate, "watchForTray", Qt::DirectConnection);
    waitUntil([&] { return delegate.settingsWindow->isVisible(); }, 100);
    ASSERT_TRUE(delegate.settingsWindow->isVisible());
    ASSERT_EQ(services.notifier.posted.size(), 1u);
    EXPECT_EQ(services.notifier.posted[0].title, "ZandorUpdate is running");
    EXPECT_EQ(services.timers.liveTimers(), 1); // the hourly job runs on
}

TEST_F(StartupTest, ATrayLostLaterGetsTheSameWayBackUnlessItReturns)
{
    start();
    const auto tick = [&](int times) {
        for (int i = 0; i < times; ++i)
            QMetaObject::invokeMethod(&delegate, "watchForTray", Qt::DirectConnection);
    };
    // Gone and back five times within the wait: nothing shown.
    for (int i = 0; i < 5; ++i) {
        services.statusItem.inTray = false;
        services.statusItem.trayChanged();
        tick(2);
        services.statusItem.inTray = true;
        services.statusItem.trayChanged();
        tick(1);
    }
    tick(10);
    EXPECT_FALSE(delegate.settingsWindow->isVisible());
    EXPECT_TRUE(services.notifier.posted.empty());
    // Gone for good, and unannounced (an XEmbed tray, or one that still
    // looked there at the tick after the bus's went): the Settings window
    // and the notice, once.
    services.statusItem.trayChanged();
    tick(1);
    services.statusItem.inTray = false;
    tick(5);
    EXPECT_FALSE(delegate.settingsWindow->isVisible()); // 25 seconds: still waiting
    tick(1);                                            // 30, as promised
    EXPECT_TRUE(delegate.settingsWindow->isVisible());
    ASSERT_EQ(services.notifier.posted.size(), 1u);
    EXPECT_EQ(services.notifier.posted[0].title, "ZandorUpdate is running");
    // A tray that comes after that and goes again: the whole wait once more.
    services.statusItem.trayChanged();
    tick(5);
    EXPECT_EQ(services.notifier.posted.size(), 1u);
    tick(1);
    EXPECT_EQ(services.notifier.posted.size(), 2u);
}

TEST_F(StartupTest, EachMenuItemOpensTheWindowItNames)
{
    start();
    const std::pair<QString, QString> items[] = {{"Settings…", "ZandorUpdate Settings"},
                                                 {"About ZandorUpdate…", "About ZandorUpdate"}};
    for (const auto &[label, title] : items) {
        for (QAction *action : delegate.statusMenu->actions())
            if (action->text() == label)
                action->trigger();
        const auto shown = [&] {
            QStringList titles;
            for (const QWidget *window : QApplication::topLevelWidgets())
                if (window->isVisible())
                    titles << window->windowTitle();
            return titles;
        };
        EXPECT_EQ(shown(), QStringList{title}) << label.toStdString();
        for (QWidget *window : QApplication::topLevelWidgets())
            window->hide();
    }
}

} // namespace
