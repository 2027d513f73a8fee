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

TEST_F(LoginItemsTest, AnAutostartFolderThatCannotBeOpenedIsLeftAlone)
{
    writeFile(home.autostart(), "a file where the folder should be");
    EXPECT_EQ(capturedOutput([] {
                  EXPECT_FALSE(applicationIsInStartUpItems());
                  toggleLaunchAtStartup();
              }),
              "");
    EXPECT_EQ(readFile(home.autostart()), "a file where the folder should be");
}

TEST_F(LoginItemsTest, OnlyEntriesTheSessionWouldStartCount)
{
    const QByteArray self = "[Desktop Entry]\nType=Application\nName=Z\nExec=\"" + ::self().toUtf8() + "\"\n";
    // Ours, but switched off in each way this session (XFCE) honours: not a login item.
    const std::pair<const char *, QByteArray> off[] = {
        {"hidden.desktop", self + "Hidden=true\n"},
        {"gone.desktop", self + "TryExec=/nowhere/zandorupdate\n"},
        {"no-program.desktop", self + "TryExec=/etc/passwd\n"}, // there, but no program
        {"gnome-only.desktop", self + "OnlyShowIn=GNOME;KDE;\n"},
        {"not-xfce.desktop", self + "NotShowIn=XFCE;\n"},
    };
    for (const auto &[name, contents] : off)
        writeFile(entry(name), contents);
    writeFile(entry("xfce-only.desktop"), "[Desktop Entry]\nExec=/bin/true\nOnlyShowIn=XFCE;\n");
    writeFile(entry(".dotted.desktop"), "[Desktop Entry]\nExec=/bin/true\n"); // sessions read these too
    const std::string out = capturedOutput([] { EXPECT_FALSE(applicationIsInStartUpItems()); });
    EXPECT_EQ(out, "There are 2 login items\n");
}

// GNOME's own switch is read only by the sessions that honour it; switching
// off writes what every session honours, and on again undoes exactly that.
TEST_F(LoginItemsTest, GnomesSwitchCountsOnlyWhereTheSessionHonoursIt)
{
    const QByteArray gnomeOff = "[Desktop Entry]\n# switched off in GNOME's settings\nType=Application\nName=Z\n"
                                "Exec=\"" +
                                self().toUtf8() + "\"\nX-GNOME-Autostart-enabled=false\n";
    const std::pair<const char *, bool> sessions[] = {
        {"GNOME", false}, {"ubuntu:GNOME", false}, {"X-Cinnamon", false}, {"Pantheon", false}, {"Unity", false},
        {"XFCE", true},   {"LXQt", true},          {"MATE", true},        {"KDE", true},       {"sway", true},
    };
    for (const auto &[desktop, starts] : sessions) {
        home.set("XDG_CURRENT_DESKTOP", desktop); // as the session names itself
        services.loginItems = platform::AutostartLoginItems();
        writeFile(entry("zandorupdate.desktop"), gnomeOff);
        EXPECT_EQ(applicationIsInStartUpItems(), starts) << desktop;
        capturedOutput([] { toggleLaunchAtStartup(); });
        EXPECT_EQ(applicationIsInStartUpItems(), !starts) << desktop;
        EXPECT_EQ(entries(), QStringList{"zandorupdate.desktop"}) << desktop;
        const QByteArray now = readFile(entry("zandorupdate.desktop"));
        EXPECT_TRUE(now.contains("# switched off in GNOME's settings")) << desktop << now.constData();
        if (starts) { // off for every session
            EXPECT_TRUE(now.contains("Hidden=true")) << desktop;
        } else { // on for every session
            EXPECT_FALSE(now.contains("Hidden")) << desktop;
            EXPECT_TRUE(now.contains("X-GNOME-Autostart-enabled=true")) << desktop;
        }
        for (const char *other : {"GNOME", "LXQt"})
            EXPECT_EQ(platform::readAutostartEntry(now, {other}).starts, !starts) << desktop << " read by " << other;
    }
}

// A user's own entry that starts the app through a wrapper is the app's
// entry: switched off and on, it keeps every line the user wrote.
TEST_F(LoginItemsTest, AUsersWrappedEntryIsTheAppsAndKeepsItsLines)
{
    const QByteArray exe = self().toUtf8();
    const QByteArray wrapped[] = {
        "env QT_SCALE_FACTOR=2 \"" + exe + "\"",
        "/usr/bin/env -i -u LANG -- " + exe + " --flag",
        "sh -c \"FOO=1 exec '" + exe + "'\"",
        "bash -c \"" + exe + " 2>/dev/null\"",
    };
    // The administrator starts it too: the user's entry, which overrides theirs, is the one switched.
    writeFile(home.file("etc/xdg/autostart/zandorupdate.desktop"), "[Desktop Entry]\nExec=\"" + exe + "\"\n");
    for (const QByteArray &exec : wrapped) {
        const QByteArray mine = "[Desktop Entry]\n# mine\nType=Application\nName=Mine\nExec=" + exec + "\n";
        writeFile(entry("zandorupdate.desktop"), mine);
        EXPECT_TRUE(applicationIsInStartUpItems()) << exec.constData();
        capturedOutput([] { toggleLaunchAtStartup(); });
        EXPECT_FALSE(applicationIsInStartUpItems()) << exec.constData();
        EXPECT_TRUE(readFile(entry("zandorupdate.desktop")).contains("Hidden=true")) << exec.constData();
        capturedOutput([] { toggleLaunchAtStartup(); });
        EXPECT_TRUE(applicationIsInStartUpItems()) << exec.constData();
        EXPECT_EQ(readFile(entry("zandorupdate.desktop")), mine) << exec.constData();
        EXPECT_EQ(entries(), QStringList{"zandorupdate.desktop"});
    }
    // Wrappers around nothing, a program that is gone, a missing Exec, an
    // Exec of 100 000 characters: unknown entries, then the app's own is
    // added beside them.
    addEntry("env.desktop", "env FOO=1");
    addEntry("gone.desktop", "/nowhere/zandorupdate");
    addEntry("unset.desktop", "env -u");
    addEntry("long.desktop", QByteArray(100000, 'x'));
    addEntry("huge.desktop", "/bin/true " + QByteArray(2 << 20, 'x')); // larger than any real one: not read
    writeFile(entry("zandorupdate.desktop"), "[Desktop Entry]\nType=Application\nName=No Exec\n");
    const std::string out = capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_EQ(out, "There are 5 login items\n" + QByteArray("Unknown login application\n").repeated(5).toStdString() +
                       "Application was added to login items\n");
    EXPECT_TRUE(applicationIsInStartUpItems());
}

// Another installed copy's entry stays as it is, the user's or the
// administrator's: this copy's goes beside it, and only this copy's goes.
TEST_F(LoginItemsTest, AnotherCopysEntryIsLeftAlone)
{
    const QString other = home.file("opt/zandorupdate");
    writeFile(other, "#!/bin/sh\n");
    QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray theirs = "[Desktop Entry]\nType=Application\nName=Other\nExec=" + QFile::encodeName(other) + "\n";
    for (const QString &where : {entry("zandorupdate.desktop"), home.file("etc/xdg/autostart/zandorupdate.desktop")}) {
        writeFile(where, theirs);
        EXPECT_FALSE(applicationIsInStartUpItems());
        EXPECT_EQ(capturedOutput([] { toggleLaunchAtStartup(); }),
                  "There are 1 login items\nApplication was added to login items\n");
        EXPECT_EQ(readFile(where), theirs);
        EXPECT_TRUE(readFile(entry("zandorupdate-2.desktop")).contains("Exec=\"" + self().toUtf8() + "\""));
        EXPECT_TRUE(applicationIsInStartUpItems());
        capturedOutput([] { toggleLaunchAtStartup(); });
        EXPECT_FALSE(QFile::exists(entry("zandorupdate-2.desktop")));
        EXPECT_EQ(readFile(where), theirs);
        QFile::remove(where);
    }
    EXPECT_EQ(entries(), QStringList{});
    // Theirs in the user's folder hides an administrator's entry of the same
    // name for this app: the name stays theirs.
    writeFile(entry("zandorupdate.desktop"), theirs);
    writeFile(home.file("etc/xdg/autostart/zandorupdate.desktop"),
              "[Desktop Entry]\nType=Application\nName=Z\nExec=\"" + self().toUtf8() + "\"\n");
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_EQ(readFile(entry("zandorupdate.desktop")), theirs);
    EXPECT_TRUE(QFile::exists(entry("zandorupdate-2.desktop")));
}

TEST_F(LoginItemsTest, AUsersEntryOverridesTheAdministratorsOfTheSameName)
{
    // Of two system folders the first one named wins; a relative folder
    // counts as unset (this one leads to etc/vendor from any working folder).
    home.set("XDG_CONFIG_DIRS", QString("../").repeated(16) + home.file("etc/vendor") + ":" + home.file("etc/xdg") +
                                    ":" + home.file("etc/vendor"));
    home.set("XDG_CONFIG_HOME", "relative");
    services.loginItems = platform::AutostartLoginItems();
    writeFile(home.file("etc/vendor/autostart/zandorupdate.desktop"), "[Desktop Entry]\nHidden=true\n");
    // The administrator starts it for everyone; this user switches it off.
    writeFile(home.file("etc/xdg/autostart/zandorupdate.desktop"),
              "[Desktop Entry]\nType=Application\nName=Z\nExec=\"" + self().toUtf8() + "\"\n");
    EXPECT_TRUE(applicationIsInStartUpItems());
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_EQ(readFile(entry("zandorupdate.desktop")),
              "[Desktop Entry]\nType=Application\nName=zandorupdate.desktop\nHidden=true\n");
    EXPECT_FALSE(applicationIsInStartUpItems());
    EXPECT_TRUE(QFile::exists(home.file("etc/xdg/autostart/zandorupdate.desktop"))); // theirs stays
    // On again: the user's own entry, which now overrides the switch.
    capturedOutput([] { toggleLaunchAtStartup(); });
    EXPECT_TRUE(applicationIsInStartUpItems());
    EXPECT_FALSE(readFile(entry("zandorupdate.desktop")).contains("Hidden"));
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
    // The user's own entries are switched off, not deleted.
    EXPECT_TRUE(readFile(entry("a.desktop")).contains("Hidden=true"));
    EXPECT_FALSE(readFile(entry("b.desktop")).contains("Hidden"));
    EXPECT_EQ(capturedOutput([] { EXPECT_TRUE(applicationIsInStartUpItems()); }), "There are 1 login items\n");
}

TEST_F(LoginItemsTest, APathWithSpacesAndQuotesRoundTrips)
{
    // The written Exec line must parse back to the same program.
    const QString odd = home.file("my apps/zandor \"update\" $HOME 100% a\\b");
    writeFile(odd, "#!/bin/sh\n");
    QFile::setPermissions(odd, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto list = services.loginItems.open();
    ASSERT_TRUE(list);
    list->insertAfter(std::nullopt, odd);
    // No shell expands it, and a backslash is escaped for Exec, then for the key file.
    EXPECT_TRUE(readFile(entry("zandorupdate.desktop")).contains(" \\\\$HOME 100%% a\\\\\\\\b\""));
    const auto snapshot = list->snapshot();
    ASSERT_EQ(snapshot.size(), 1u); // and a list that took no snapshot of its own reads the entry itself
    EXPECT_EQ(services.loginItems.open()->resolve(snapshot[0]).target, QFileInfo(odd).canonicalFilePath());
}

} // namespace
