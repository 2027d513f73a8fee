#include "AppFixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>

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
    ASSERT_TRUE(delegate.settingsWindow->isVisible());
    EXPECT_GE(services.application.activations, 1);

    delegate.setUserName->setText(" Ann ");
    delegate.setPasssword->setText("pä ss");
    delegate.setDownloadFormatMPEG->setChecked(false);
    delegate.setDownloadFormatMXF->setChecked(true);
    delegate.setMinutesAfterHour->setText("12");
    delegate.setLabelFolder->setText(home.file("Vidéos à voir"));
    delegate.setAutomaticDownload->setChecked(true);
    delegate.setStartAtSystemStartUp->setChecked(false);
    pressOK();

    const QVariantMap saved = stored();
    EXPECT_EQ(saved.value("username").toString(), " Ann ");
    EXPECT_EQ(saved.value("password").toString(), "pä ss");
    EXPECT_EQ(saved.value("mpg_download").toLongLong(), 0);
    EXPECT_EQ(saved.value("mxf_download").toLongLong(), 1);
    EXPECT_EQ(saved.value("minutes_after_hour").toString(), "12");
    EXPECT_EQ(saved.value("downloadfilepath").toString(), home.file("Vidéos à voir"));
    EXPECT_EQ(saved.value("automatic_download").toLongLong(), 1);
    EXPECT_EQ(saved.value("start_at_startup").toLongLong(), 0);
    EXPECT_EQ(saved.value("mpg_url"), delegate.appSettings.value("mpg_url")); // addresses saved as they were
    EXPECT_FALSE(delegate.settingsWindow->isVisible());
    EXPECT_EQ(delegate.appSettings.value("username").toString(), " Ann ");
    EXPECT_NE(output.find("duedate this hour="), std::string::npos) << output;
}

TEST_F(SettingsWindowTest, StoredValuesOfOtherShapesShowAsTheyAreMeant)
{
    const QString longName(40000, QChar(u'n'));
    for (const QVariant &on : {QVariant(2), QVariant(-1), QVariant(0.5)}) {
        writeSettings({{"mpg_download", on},
                       {"mxf_download", on},
                       {"automatic_download", on},
                       {"start_at_startup", 0},
                       {"username", longName},
                       {"minutes_after_hour", 20},
                       {"downloadfilepath", home.documents()}});
        delegate.readFromPlist();
        EXPECT_TRUE(delegate.setDownloadFormatMPEG->isChecked()) << on.toString().toStdString();
        EXPECT_TRUE(delegate.setAutomaticDownload->isChecked());
        EXPECT_EQ(delegate.nrOfDownloads, 2);
        EXPECT_EQ(delegate.setMinutesAfterHour->text(), "20");
        pressOK();
        EXPECT_EQ(stored().value("mpg_download").toLongLong(), 1);
        EXPECT_EQ(stored().value("automatic_download").toLongLong(), 1);
        EXPECT_EQ(stored().value("minutes_after_hour").toString(), "20");
        EXPECT_EQ(stored().value("username").toString(), longName); // never cut
    }
}

TEST_F(SettingsWindowTest, AnyMinutesTextIsStoredAsTyped)
{
    for (const QString &text : {QString(" 7"), QString("abc"), QString("")}) {
        delegate.setMinutesAfterHour->setText(text);
        pressOK();
        EXPECT_EQ(stored().value("minutes_after_hour").toString(), text);
        EXPECT_EQ(delegate.setMinutesAfterHour->text(), text);
        EXPECT_EQ(services.timers.liveTimers(), 0); // and nothing is armed from it
    }
}

TEST_F(SettingsWindowTest, TheNumberOfFilesFollowsBothBoxesAndOKLeavesOneTimer)
{
    for (const auto &[mpeg, mxf, expected] : std::vector<std::tuple<bool, bool, int>>{
             {true, true, 2}, {true, false, 1}, {false, true, 1}, {false, false, 1}}) {
        delegate.setDownloadFormatMPEG->setChecked(mpeg);
        delegate.setDownloadFormatMXF->setChecked(mxf);
        pressOK();
        EXPECT_EQ(delegate.nrOfDownloads, expected) << mpeg << mxf;
    }
    EXPECT_EQ(services.timers.liveTimers(), 1);
    EXPECT_GE(services.timers.scheduled.size(), 5u);
}

TEST_F(SettingsWindowTest, ClosingWithoutOKKeepsTheEditsAndSavesNothing)
{
    const QByteArray before = readFile(home.settingsFile());
    delegate.startSettingsWindow();
    delegate.setUserName->setText("draft");
    delegate.settingsWindow->close();
    EXPECT_EQ(readFile(home.settingsFile()), before);
    EXPECT_EQ(delegate.appSettings.value("username").toString(), "");
    delegate.startSettingsWindow();
    EXPECT_EQ(delegate.setUserName->text(), "draft");
    pressOK();
    EXPECT_EQ(stored().value("username").toString(), "draft");
}

TEST_F(SettingsWindowTest, TheChooserPicksOneFolderAndCancelKeepsTheText)
{
    services.fileChooser.answer = {platform::kChooserOK, {QUrl::fromLocalFile(home.file("Clips"))}};
    delegate.btnSettingsOk->window()->findChild<QPushButton *>("btnChooseFolder")->click();
    EXPECT_EQ(delegate.setLabelFolder->text(), home.file("Clips"));
    ASSERT_EQ(services.fileChooser.asked.size(), 1u);
    EXPECT_TRUE(services.fileChooser.asked[0].canChooseDirectories && !services.fileChooser.asked[0].canChooseFiles);

    services.fileChooser.answer = {platform::kChooserCancel, {}};
    delegate.selectLocalFolder();
    EXPECT_EQ(delegate.setLabelFolder->text(), home.file("Clips"));
    services.fileChooser.answer = {platform::kChooserOK, {}}; // OK with nothing chosen
    delegate.selectLocalFolder();
    EXPECT_EQ(delegate.setLabelFolder->text(), home.file("Clips"));
    EXPECT_EQ(delegate.appSettings.value("downloadfilepath").toString(), home.documents()); // not saved yet
}

TEST_F(SettingsWindowTest, TheStartAtLoginBoxDecidesTheLoginItem)
{
    delegate.setStartAtSystemStartUp->setChecked(true);
    pressOK();
    // The first reload adds the entry; the second finds nothing to do.
    EXPECT_EQ(occurrences(output, "Application was added to login items"), 1) << output;
    EXPECT_EQ(QDir(home.autostart()).entryList(QDir::Files).size(), 1);

    QDir(home.autostart()).removeRecursively(); // removed by other means
    delegate.readFromPlist();
    EXPECT_EQ(QDir(home.autostart()).entryList(QDir::Files).size(), 1); // the next load puts it back

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

class AboutWindowTest : public AppFixture {
protected:
    void SetUp() override { start(); }
    void click(Qt::MouseButton button)
    {
        QWidget *label = delegate.lblUrlAbout;
        const QPointF at(label->width() / 2.0, label->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, label->mapToGlobal(at), button, button, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), button, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(label, &press);
        QApplication::sendEvent(label, &release);
    }
};

TEST_F(AboutWindowTest, OnlyThePrimaryButtonOpensTheMakersAddress)
{
    delegate.startAboutWindow();
    EXPECT_TRUE(delegate.aboutWindow->isVisible());
    click(Qt::RightButton);
    click(Qt::MiddleButton);
    EXPECT_TRUE(services.urlOpener.opened.empty());
    click(Qt::LeftButton);
    ASSERT_EQ(services.urlOpener.opened.size(), 1u);
    EXPECT_EQ(services.urlOpener.opened[0], QUrl(delegate.aboutUrl));
    delegate.lblUrlAboutOpen();
    EXPECT_EQ(services.urlOpener.opened.size(), 2u);
    EXPECT_EQ(delegate.lblAuthor->text(), "");
}

TEST_F(AboutWindowTest, AnAddressThatDoesNotParseOpensNothing)
{
    for (const QString &bad : {QString("http://exa mple.com/"), QString(""), QString("relative/path"), QString("::")})
        EXPECT_FALSE(AppDelegate::openWebAddress(bad)) << bad.toStdString();
    EXPECT_TRUE(services.urlOpener.opened.empty());
    EXPECT_TRUE(AppDelegate::openWebAddress("https://tavrel.example/about"));
}

TEST(LinkString, LinkColourAndUnderlineCoverTheWholeText)
{
    const AttributedString link = AppDelegate::link_string("Tavrel", "HTTPS://Tavrel.EXAMPLE/%7Ea%20b");
    ASSERT_EQ(link.attributes.size(), 3u);
    for (const auto &attribute : link.attributes) {
        EXPECT_EQ(attribute.location, 0);
        EXPECT_EQ(attribute.length, 6);
    }
    EXPECT_EQ(link.attributes[0].name, "link");
    EXPECT_EQ(link.attributes[0].value.toString(), "HTTPS://Tavrel.EXAMPLE/%7Ea%20b"); // as given, as text
    EXPECT_EQ(link.attributes[0].value.typeId(), QMetaType::QString);
    EXPECT_EQ(link.attributes[1].value.value<QColor>(), QColor(Qt::blue));
    EXPECT_EQ(link.attributes[2].value.toInt(), 1);
    const AttributedString empty = AppDelegate::link_string("", "https://x.example");
    EXPECT_EQ(empty.text, "");
    for (const auto &attribute : empty.attributes)
        EXPECT_EQ(attribute.length, 0);
}

} // namespace
