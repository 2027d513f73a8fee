#include "AppFixture.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>

namespace {

class SettingsWindowTest : public AppFixture {
protected:
    void SetUp() override
    {
        start();
        services.notifier.posted.clear();
    }
    void pressOK()
    {
        output = capturedOutput([&] { delegate.btnSettingsOk->click(); });
    }
};

// Where the window was when it first showed.
class ShownAt : public QObject {
public:
    QPoint center;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            center = static_cast<QWidget *>(watched)->frameGeometry().center();
        return false;
    }
};

TEST_F(SettingsWindowTest, OKSavesEveryControlVerbatimAndHidesTheWindow)
{
    ShownAt shown;
    delegate.settingsWindow->installEventFilter(&shown);
    delegate.startSettingsWindow();
    const QPoint middle = delegate.settingsWindow->screen()->availableGeometry().center();
    EXPECT_LE((shown.center - middle).manhattanLength(), 4); // centred before it showed
    EXPECT_TRUE(delegate.settingsWindow->isVisible());
    EXPECT_GE(services.application.activations, 1);
    delegate.setMinutesAfterHour->setFocus(); // a field takes the focus as one control
    EXPECT_EQ(delegate.settingsWindow->focusWidget(), delegate.setMinutesAfterHour->editor());
    QStringList described; // a screen reader tells each control apart
    for (const QWidget *widget : delegate.settingsWindow->findChildren<QWidget *>())
        if (!widget->accessibleDescription().isEmpty())
            described << widget->accessibleDescription();
    EXPECT_EQ(QSet<QString>(described.cbegin(), described.cend()).size(), described.size())
        << described.join(" | ").toStdString();

    const QString longName(40000, QChar(u'n')); // never cut
    delegate.setUserName->setText(" Ann " + longName);
    delegate.setPasssword->setText("pä ss");
    delegate.setDownloadFormatMPEG->setChecked(false);
    delegate.setDownloadFormatMXF->setChecked(true);
    delegate.setMinutesAfterHour->setText("12");
    delegate.setLabelFolder->setText(home.file("Vidéos à voir"));
    delegate.setAutomaticDownload->setChecked(true);
    delegate.setStartAtSystemStartUp->setChecked(false);
    pressOK();
    QVariantMap expected = delegate.appSettings; // the addresses are saved as they were
    expected.insert({{"username", " Ann " + longName},
                     {"password", "pä ss"},
                     {"mpg_download", 0},
                     {"mxf_download", 1},
                     {"minutes_after_hour", "12"},
                     {"downloadfilepath", home.file("Vidéos à voir")},
                     {"automatic_download", 1},
                     {"start_at_startup", 0}});
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(delegate.updates().requestsPerUpdate(), 1); // MXF alone
    EXPECT_FALSE(delegate.settingsWindow->isVisible());
    EXPECT_EQ(delegate.setUserName->text(), " Ann " + longName); // shown again as the file has it, spaces and all
    EXPECT_NE(output.find("duedate this hour="), std::string::npos) << output;
}

TEST_F(SettingsWindowTest, StoredValuesOfOtherKindsShowAsMeantOrAsTheirDefaults)
{
    // Any number but 0 is on, and a number of minutes is its text.
    writeSettings(
        {{"mpg_download", 2}, {"mxf_download", -1}, {"automatic_download", 0.25}, {"minutes_after_hour", 20}});
    delegate.readFromPlist();
    EXPECT_TRUE(delegate.setDownloadFormatMXF->isChecked() && delegate.setAutomaticDownload->isChecked());
    EXPECT_EQ(delegate.updates().requestsPerUpdate(), 2);
    delegate.startTimer(); // the record itself says on, as the window does
    EXPECT_EQ(services.timers.liveTimers(), 1);
    pressOK();
    EXPECT_EQ(stored().value("mpg_download"), 1);
    EXPECT_EQ(stored().value("minutes_after_hour"), "20");
    // Other kinds read as their defaults, without an alert.
    writeSettings({{"mpg_url", 5},
                   {"mpg_download", "yes"},
                   {"mxf_download", QVariantList{}},
                   {"username", QVariantMap{}},
                   {"minutes_after_hour", true},
                   {"automatic_download", QByteArray("1")}});
    delegate.readFromPlist();
    EXPECT_TRUE(delegate.setDownloadFormatMPEG->isChecked() && !delegate.setDownloadFormatMXF->isChecked());
    EXPECT_EQ(delegate.setMinutesAfterHour->text(), "5");
    for (const auto &[number, text] : {std::pair(7.5, "7.5"), std::pair(1234567.5, "1234567.5")}) {
        writeSettings({{"minutes_after_hour", number}});
        delegate.readFromPlist();
        EXPECT_EQ(delegate.setMinutesAfterHour->text(), text); // as it is, and so no whole number
    }
    EXPECT_TRUE(services.alerts.shown.empty());
    EXPECT_EQ(services.timers.liveTimers(), 1);
    for (const QString &text : {QString(" 7"), QString("abc"), QString("")}) { // any minutes text, as typed
        delegate.setMinutesAfterHour->setText(text);
        pressOK();
        EXPECT_EQ(stored().value("minutes_after_hour").toString(), text);
        EXPECT_EQ(services.timers.liveTimers(), 0); // and nothing is armed from it
    }
}

TEST_F(SettingsWindowTest, ClosingWithoutOKKeepsTheEditsAndThePlaceAndSavesNothing)
{
    const QByteArray before = readFile(home.settingsFile());
    delegate.startSettingsWindow();
    delegate.setUserName->setText("draft");
    delegate.settingsWindow->move(10, 20); // where the user put it
    delegate.settingsWindow->close();
    EXPECT_EQ(readFile(home.settingsFile()), before);
    delegate.startSettingsWindow();
    EXPECT_EQ(delegate.setUserName->text(), "draft");
    EXPECT_EQ(delegate.settingsWindow->pos(), QPoint(10, 20));
    pressOK();
    EXPECT_EQ(stored().value("username"), "draft");
}

TEST_F(SettingsWindowTest, TheChooserPicksOneFolderAndCancelKeepsTheText)
{
    services.fileChooser.answer = {platform::kChooserOK, {QUrl::fromLocalFile(home.file("Clips"))}};
    delegate.btnSettingsOk->window()->findChild<QPushButton *>("btnChooseFolder")->click();
    EXPECT_EQ(delegate.setLabelFolder->text(), home.file("Clips"));
    ASSERT_EQ(services.fileChooser.asked.size(), 1u);
    EXPECT_TRUE(services.fileChooser.asked[0].canChooseDirectories && !services.fileChooser.asked[0].canChooseFiles);
    EXPECT_EQ(services.fileChooser.asked[0].directory, home.documents()); // it opens where the clips go now
    for (const platform::ChooserOutcome &nothing :
         {platform::ChooserOutcome{platform::kChooserCancel, {}}, platform::ChooserOutcome{platform::kChooserOK, {}}}) {
        services.fileChooser.answer = nothing;
        delegate.selectLocalFolder();
        EXPECT_EQ(delegate.setLabelFolder->text(), home.file("Clips"));
    }
    EXPECT_EQ(delegate.appSettings.value("downloadfilepath"), home.documents()); // not saved yet
}

TEST_F(SettingsWindowTest, TheStartAtLoginBoxDecidesTheLoginItem)
{
    delegate.setStartAtSystemStartUp->setChecked(true);
    pressOK();
    // The first reload adds the entry; the second finds nothing to do.
    EXPECT_EQ(occurrences(output, "Application was added to login items"), 1) << output;
    EXPECT_EQ(QDir(home.autostart()).entryList(QDir::Files).size(), 1);
    QDir(home.autostart()).removeRecursively(); // removed by other means: the next load puts it back
    delegate.readFromPlist();
    EXPECT_EQ(QDir(home.autostart()).entryList(QDir::Files).size(), 1);
    delegate.setStartAtSystemStartUp->setChecked(false);
    pressOK();
    EXPECT_EQ(occurrences(output, "Application was removed from login items"), 1) << output;
    EXPECT_TRUE(QDir(home.autostart()).entryList(QDir::Files).isEmpty());
}

TEST_F(SettingsWindowTest, AnUnwritableFileStillReArmsAndHides)
{
    ::chmod(QFile::encodeName(home.settingsFile()).constData(), 0400);
    delegate.startSettingsWindow();
    delegate.setUserName->setText("lost");
    pressOK();
    EXPECT_NE(output.find("File not written successfully\nFileNotWritten\n"), std::string::npos) << output;
    EXPECT_EQ(delegate.setUserName->text(), ""); // the reload shows what the file holds
    EXPECT_FALSE(delegate.settingsWindow->isVisible());
    EXPECT_EQ(services.timers.liveTimers(), 1);
}

TEST_F(SettingsWindowTest, OnlyThePrimaryButtonOpensTheMakersAddressInAbout)
{
    delegate.startAboutWindow();
    EXPECT_TRUE(delegate.aboutWindow->isVisible());
    QWidget *label = delegate.lblUrlAbout;
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
        const QPointF at(label->width() / 2.0, label->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), button, button, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), button, {}, Qt::NoModifier);
        QApplication::sendEvent(label, &press);
        QApplication::sendEvent(label, &release);
    }
    EXPECT_EQ(services.urlOpener.opened, std::vector<QUrl>{QUrl(delegate.aboutUrl)});
    for (const QString bad : {"http://exa mple.com/", "", "relative/path", "::", "file:///etc/passwd"})
        EXPECT_FALSE(AppDelegate::openWebAddress(bad)) << bad.toStdString();
    EXPECT_EQ(services.urlOpener.opened.size(), 1u);

    // By keyboard: the link has the focus, and Return or Space opens it.
    ASSERT_TRUE(QTest::qWaitForWindowActive(delegate.aboutWindow));
    EXPECT_EQ(QApplication::focusWidget(), label);
    label->clearFocus(); // and Tab brings it back
    QTest::keyClick(delegate.aboutWindow, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), label);
    QTest::keyClick(label, Qt::Key_Return);
    QTest::keyClick(label, Qt::Key_Space);
    EXPECT_EQ(services.urlOpener.opened.size(), 3u);
    delegate.lblUrlAboutOpen();
    EXPECT_TRUE(AppDelegate::openWebAddress(delegate.aboutUrl));
    EXPECT_EQ(services.urlOpener.opened, std::vector<QUrl>(5, QUrl(delegate.aboutUrl)));

    std::vector<std::tuple<QString, QVariant, qsizetype, qsizetype>> styled;
    for (const auto &a : AppDelegate::link_string("maker", "https://m/").attributes)
        styled.emplace_back(a.name, a.value, a.location, a.length);
    EXPECT_EQ(styled, (decltype(styled){{"link", "https://m/", 0, 5},
                                        {"foregroundColor", QColor(Qt::blue), 0, 5},
                                        {"underlineStyle", 1, 0, 5}}));
}

} // namespace
