#include "Testing.h"
#include "osxLaunchAtStartup.h"

namespace {

QString self()
{
    return QFileInfo("/proc/self/exe").canonicalFilePath();
}

class LoginItemsTest : public testing::Test {
protected:
    QString entry(const QString &name) const { return QDir(home.autostart()).filePath(name); }
    void addEntry(const QString &name, const QByteArray &exec)
    {
        writeFile(entry(name), "[Desktop Entry]\nType=Application\nName=" + name.toUtf8() + "\nExec=" + exec + "\n");
    }
    QStringList entries() const { return QDir(home.autostart()).entryList(QDir::Files, QDir::Name); }

    TestHome home;
    DoubledServices services;
};

TEST_F(LoginItemsTest, AnEmptyListGetsTheAppAtTheFront)
{
    bool present = true;
    EXPECT_EQ(capturedOutput([&] { present = applicationIsInStartUpItems(); }), "There are 0 login items\n");
    EXPECT_FALSE(present);
    EXPECT_EQ(capturedOutput([] { toggleLaunchAtStartup(); }),
              "There are 0 login items\nApplication was added to login items\n");
    ASSERT_EQ(entries(), QStringList{"zandorupdate.desktop"});
    const QByteArray written = readFile(entry("zandorupdate.desktop"));
    for (const QByteArray &line :
         {"Exec=\"" + self().toUtf8() + "\"", "TryExec=" + self().toUtf8(), QByteArray("Type=Application"),
          QByteArray("X-GNOME-Autostart-enabled=true"), QByteArray("Icon=zandorupdate")})
        EXPECT_TRUE(written.contains(line + "\n")) << line.constData() << "\n" << written.constData();
    EXPECT_EQ(capturedOutput([&] { present = applicationIsInStartUpItems(); }), "There are 1 login items\n");
    EXPECT_TRUE(present);
}

TEST_F(LoginItemsTest, OnlyEntriesTheSessionWouldStartCount)
{
    const QByteArray self = "[Desktop Entry]\nType=Application\nName=Z\nExec=\"" + ::self().toUtf8() + "\"\n";
    // Ours, but switched off in each way a desktop honours: not a login item.
    const std::pair<const char *, QByteArray> off[] = {
        {"disabled.desktop", self + "X-GNOME-Autostart-enabled=false\n"},
        {"hidden.desktop", self + "Hidden=true\n"},
        {"gone.desktop", self + "TryExec=/nowhere/zandorupdate\n"},
        {"gnome-only.desktop", self + "OnlyShowIn=GNOME;KDE;\n"},
        {"not-xfce.desktop", self + "NotShowIn=XFCE;\n"},
    };
    for (const auto &[name, contents] : off)
        writeFile(entry(name), contents);
    writeFile(entry("xfce-only.desktop"), "[Desktop Entry]\nExec=/bin/true\nOnlyShowIn=XFCE;\n");
    const std::string out = capturedOutput([] { EXPECT_FALSE(applicationIsInStartUpItems()); });
    EXPECT_EQ(out, "There are 1 login items\n");

    // Ours under its own name, switched off: rewritten so it starts, not a second one added.
    writeFile(entry("zandorupdate.desktop"), self + "X-GNOME-Autostart-enabled=false\n");
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_TRUE(readFile(entry("zandorupdate.desktop")).contains("X-GNOME-Autostart-enabled=true"));
    EXPECT_TRUE(applicationIsInStartUpItems());
    EXPECT_EQ(entries().size(), 7);
}

TEST_F(LoginItemsTest, AUsersEntryOverridesTheAdministratorsOfTheSameName)
{
    // The administrator starts it for everyone; this user switches it off.
    writeFile(home.file("etc/xdg/autostart/zandorupdate.desktop"),
              "[Desktop Entry]\nType=Application\nName=Z\nExec=\"" + self().toUtf8() + "\"\n");
    EXPECT_TRUE(applicationIsInStartUpItems());
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_TRUE(readFile(entry("zandorupdate.desktop")).contains("Hidden=true\n"));
    EXPECT_FALSE(applicationIsInStartUpItems());
    EXPECT_TRUE(QFile::exists(home.file("etc/xdg/autostart/zandorupdate.desktop"))); // theirs stays
}

TEST_F(LoginItemsTest, APercentInTheProgramsNameIsWrittenDoubled)
{
    const QString odd = home.file("bin/zandor%update");
    writeFile(odd, "#!/bin/sh\n");
    QFile::setPermissions(odd, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    addEntry("by-hand.desktop", QFile::encodeName(odd).replace("%", "%%"));
    auto list = services.loginItems.open();
    ASSERT_TRUE(list);
    const auto snapshot = list->snapshot();
    ASSERT_EQ(snapshot.size(), 1u);
    EXPECT_EQ(list->resolve(snapshot[0]).target, QFileInfo(odd).canonicalFilePath());
}

TEST_F(LoginItemsTest, ListedTwiceOnlyTheFirstEntryIsRemoved)
{
    const QByteArray exec = "\"" + self().toUtf8() + "\"";
    addEntry("a.desktop", exec);
    addEntry("b.desktop", exec);
    EXPECT_EQ(capturedOutput([] { toggleLaunchAtStartup(); }),
              "There are 2 login items\nApplication was removed from login items\n");
    EXPECT_EQ(entries(), QStringList{"b.desktop"});
    EXPECT_TRUE(applicationIsInStartUpItems());
}

TEST_F(LoginItemsTest, APathWithSpacesAndQuotesRoundTrips)
{
    // The written Exec line must parse back to the same program.
    const QString odd = home.file("my apps/zandor \"update\" $HOME 100%");
    writeFile(odd, "#!/bin/sh\n");
    QFile::setPermissions(odd, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto list = services.loginItems.open();
    ASSERT_TRUE(list);
    list->insertAfter(std::nullopt, odd);
    const auto snapshot = list->snapshot();
    ASSERT_EQ(snapshot.size(), 1u);
    EXPECT_EQ(list->resolve(snapshot[0]).target, QFileInfo(odd).canonicalFilePath());
}

} // namespace
