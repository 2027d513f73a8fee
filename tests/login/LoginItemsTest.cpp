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

TEST_F(LoginItemsTest, TheAppsEntryIsNamedAfterItsDesktopFileIdBesideThreeOthers)
{
    addEntry("a-first.desktop", "/bin/true");
    addEntry("m-second.desktop", "sh -c true");
    addEntry("zz-third.desktop", "\"/bin/echo\" %U");
    EXPECT_EQ(capturedOutput([] { toggleLaunchAtStartup(); }),
              "There are 3 login items\nApplication was added to login items\n");
    EXPECT_EQ(entries(), (QStringList{"a-first.desktop", "m-second.desktop", "zandorupdate.desktop",
                                      "zz-third.desktop"})); // no order to keep: a name an administrator knows
    EXPECT_TRUE(applicationIsInStartUpItems());
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

TEST_F(LoginItemsTest, SystemEntriesCountAndAUserEntryOfTheSameNameOverridesThem)
{
    const QByteArray self = "[Desktop Entry]\nType=Application\nName=Z\nExec=\"" + ::self().toUtf8() + "\"\n";
    writeFile(QDir(home.systemAutostart()).filePath("zandorupdate.desktop"), self);
    writeFile(QDir(home.systemAutostart()).filePath("other.desktop"), "[Desktop Entry]\nExec=/bin/true\n");
    EXPECT_EQ(capturedOutput([] { EXPECT_TRUE(applicationIsInStartUpItems()); }), "There are 2 login items\n");
    // Off: the administrator's entry stays, the user's override hides it.
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_TRUE(QFileInfo::exists(QDir(home.systemAutostart()).filePath("zandorupdate.desktop")));
    EXPECT_TRUE(readFile(entry("zandorupdate.desktop")).contains("Hidden=true"));
    EXPECT_EQ(capturedOutput([] { EXPECT_FALSE(applicationIsInStartUpItems()); }), "There are 1 login items\n");
    // And on again: the user's entry starts it.
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_TRUE(applicationIsInStartUpItems());
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

TEST_F(LoginItemsTest, EntriesThatDoNotResolveAreReportedAndSkipped)
{
    addEntry("gone.desktop", "/nowhere/program --flag");
    writeFile(entry("empty.desktop"), "");
    writeFile(entry("binary.desktop"), QByteArray("\x00\xff\x10\x80garbage", 12));
    writeFile(entry("latin1.desktop"), "[Desktop Entry]\nName=caf\xe9\nExec=/bin/true\n");
    writeFile(entry("noexec.desktop"), "[Desktop Entry]\nName=x\n");
    writeFile(entry("huge.desktop"), "[Desktop Entry]\nExec=/bin/true\nX=" + QByteArray(3 << 20, 'a') + "\n");
    writeFile(entry("long-exec.desktop"), "[Desktop Entry]\nExec=/bin/" + QByteArray(900000, 'x') + " %U\n");
    writeFile(entry("notes.txt"), "not an entry");
    const std::string out = capturedOutput([] { EXPECT_FALSE(applicationIsInStartUpItems()); });
    // notes.txt is no entry at all, and no session starts an empty or binary one.
    EXPECT_EQ(out.substr(0, out.find('\n')), "There are 5 login items");
    EXPECT_EQ(occurrences(out, "Unknown login application\n"), 4) << out;
}

TEST_F(LoginItemsTest, ExecWithQuotesFieldCodesAndEnvironmentResolves)
{
    using platform::desktopEntryProgram;
    auto program = [](const QByteArray &exec) {
        return desktopEntryProgram("[Desktop Entry]\nExec=" + exec + "\n").value_or("none");
    };
    EXPECT_EQ(program("\"/bin/echo\" %U"), "/bin/echo");
    EXPECT_EQ(program("echo %f"), QFileInfo("/usr/bin/echo").exists() ? "/usr/bin/echo" : "/bin/echo");
    EXPECT_EQ(program("env LANG=C /bin/true"), QFileInfo("/usr/bin/env").exists() ? "/usr/bin/env" : "/bin/env");
    EXPECT_EQ(program("\"unterminated"), "none");
    EXPECT_EQ(program(""), "none");
    bool hidden = false;
    desktopEntryProgram("[Desktop Entry]\nExec=/bin/true\nHidden=true\n", &hidden);
    EXPECT_TRUE(hidden);
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

TEST_F(LoginItemsTest, AFileInsteadOfTheFolderCannotBeOpened)
{
    writeFile(home.autostart(), "not a folder");
    bool present = true;
    EXPECT_EQ(capturedOutput([&] { present = applicationIsInStartUpItems(); }), "");
    EXPECT_FALSE(present);
    EXPECT_EQ(capturedOutput([] { toggleLaunchAtStartup(); }), "");
    EXPECT_EQ(readFile(home.autostart()), "not a folder");
}

} // namespace
