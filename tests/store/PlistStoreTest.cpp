#include "PlistFormat.h"
#include "TavrelPlist.h"
#include "Testing.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

using platform::DirectoryKind;

mode_t modeOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

QByteArray xmlPlist(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

// A resources folder of the test's own, so the template can change or go.
class StoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        writeTemplate(xmlPlist("<dict><key>appSettings</key><dict><key>username</key><string>tpl</string></dict>"
                               "<key>other</key><integer>7</integer></dict>"));
    }
    void writeTemplate(const QByteArray &bytes) { writeFile(resources.filePath("appSettings.plist"), bytes); }
    QVariantMap fileContents() { return parsePlistDictionary(readFile(home.settingsFile())).value_or(QVariantMap()); }
    std::string save(TavrelPlist &store, const QVariantMap &settings, bool expected)
    {
        return capturedOutput([&] { EXPECT_EQ(store.addDictionary("appSettings", settings), expected); });
    }

    TestHome home;
    QTemporaryDir resources;
    DoubledServices services{resources.path()};
};

TEST_F(StoreTest, FirstStartCopiesTheTemplateIntoAPrivateFolderAndLaterStartsKeepIt)
{
    std::unique_ptr<TavrelPlist> store;
    EXPECT_EQ(capturedOutput(
                  [&] { store = std::make_unique<TavrelPlist>("appSettings", DirectoryKind::ApplicationSupport); }),
              "");
    EXPECT_EQ(store->getPlistPath(), home.settingsFile());
    EXPECT_EQ(modeOf(home.appFolder()), 0700u);
    EXPECT_EQ(modeOf(home.settingsFile()), 0600u); // it holds a password
    EXPECT_EQ(store->getMutItems().value("appSettings").toMap().value("username"), "tpl");

    ASSERT_TRUE(store->addDictionary("appSettings", {{"username", "mine"}}));
    writeTemplate(xmlPlist("<dict><key>appSettings</key><dict><key>username</key><string>new</string></dict></dict>"));
    TavrelPlist second("appSettings", DirectoryKind::ApplicationSupport);
    EXPECT_EQ(second.getItems().value("appSettings").toMap().value("username"), "mine");

    writeFile(resources.filePath("notes.plist"), xmlPlist("<dict/>")); // a plain name: the documents folder
    EXPECT_EQ(TavrelPlist("notes").getPlistPath(), home.documents() + "/notes.plist");
    EXPECT_TRUE(QFile::exists(home.documents() + "/notes.plist"));
}

TEST_F(StoreTest, WithoutATemplateOrAFolderTheStoreIsClosed)
{
    QFile::remove(resources.filePath("appSettings.plist"));
    std::unique_ptr<TavrelPlist> store;
    std::string out = capturedOutput(
        [&] { store = std::make_unique<TavrelPlist>("appSettings", DirectoryKind::ApplicationSupport); });
    EXPECT_EQ(out.rfind("\U0001F535 Unable to get Plist [", 0), 0u) << out;
    EXPECT_NE(out.find("TavrelPlist.cpp:"), std::string::npos);
    EXPECT_TRUE(QFileInfo(home.appFolder()).isDir()); // made before the template was looked for
    EXPECT_TRUE(!store->pList && store->getMutItems().isEmpty() && store->getPlistPath().isEmpty());
    EXPECT_FALSE(store->addDictionary("appSettings", {}));

    QDir(home.appSupport()).removeRecursively();
    writeFile(home.appSupport(), "a file where the folder should be");
    out = capturedOutput([&] { TavrelPlist again("appSettings", DirectoryKind::ApplicationSupport); });
    EXPECT_NE(out.find("Unable to get Plist"), std::string::npos);
    ASSERT_EQ(services.systemLog.lines.size(), 1u); // and the system log says why
}

TEST_F(StoreTest, SavesReplaceOneEntryAtomicallyAndKeepTheRest)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    ASSERT_TRUE(store.addDictionary("appSettings", {{"password", "p"}}));
    EXPECT_EQ(fileContents().value("other").toLongLong(), 7);
    EXPECT_EQ(fileContents().value("appSettings").toMap(), (QVariantMap{{"password", "p"}}));
    EXPECT_TRUE(store.addArray("list", {1, "two"}));
    EXPECT_EQ(fileContents().value("list").toList().size(), 2);
    EXPECT_TRUE(store.deleteItem("not-there"));
    EXPECT_FALSE(store.itemExists("password")); // only the root level is searched
    EXPECT_TRUE(store.deleteItem("other"));
    EXPECT_FALSE(fileContents().contains("other"));
    EXPECT_EQ(QDir(home.appFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"appSettings.plist"});
    EXPECT_EQ(modeOf(home.settingsFile()), 0600u);
    EXPECT_TRUE(readFile(home.settingsFile()).startsWith("<?xml"));
}

TEST_F(StoreTest, ASettingsFileThatIsALinkIsWrittenThroughToItsTarget)
{
    // Dotfiles kept in a repository: the settings file links into it.
    const QString target = home.file("dotfiles/zandor/appSettings.plist");
    writeFile(target, xmlPlist("<dict><key>big</key><integer>18446744073709551615</integer>"
                               "<key>small</key><integer>-1</integer></dict>"));
    QDir().mkpath(home.appFolder());
    ASSERT_TRUE(QFile::link("../../../dotfiles/zandor/appSettings.plist", home.settingsFile()));
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    ASSERT_TRUE(store.addDictionary("appSettings", {{"username", "ann"}}));
    EXPECT_TRUE(QFileInfo(home.settingsFile()).isSymLink());
    const QVariantMap root = parsePlistDictionary(readFile(target)).value_or(QVariantMap());
    EXPECT_EQ(root.value("appSettings").toMap().value("username"), "ann");
    EXPECT_TRUE(readFile(target).contains("<integer>18446744073709551615</integer>")); // not -1
    EXPECT_EQ(root.value("small").toLongLong(), -1);
    EXPECT_EQ(QDir(home.file("dotfiles/zandor")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"appSettings.plist"});
}

TEST_F(StoreTest, AFileRemovedReadOnlyOrUnreadableIsNeverLost)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    QFile::remove(home.settingsFile()); // removed while open: not recreated
    EXPECT_EQ(save(store, {}, false), "FileDoesNotExist\n");
    EXPECT_FALSE(QFile::exists(home.settingsFile()));

    writeFile(home.settingsFile(), xmlPlist("<dict/>"));
    ::chmod(QFile::encodeName(home.settingsFile()).constData(), 0400); // read-only: left as it is
    EXPECT_EQ(save(store, {{"x", 1}}, false), "File not written successfully\nFileNotWritten\n");
    EXPECT_EQ(readFile(home.settingsFile()), xmlPlist("<dict/>"));

    ::chmod(QFile::encodeName(home.settingsFile()).constData(), 0600);
    writeFile(home.settingsFile(), "garbage, not a property list"); // kept aside before a save replaces it
    EXPECT_TRUE(store.getMutItems().isEmpty());
    EXPECT_EQ(occurrences(save(store, {{"a", "b"}}, true), "\n"), 1);
    EXPECT_EQ(readFile(home.settingsFile() + ".unreadable"), "garbage, not a property list");
    EXPECT_EQ(fileContents(), (QVariantMap{{"appSettings", QVariantMap{{"a", "b"}}}}));
}

TEST(PlistFormat, BadFilesAreReadOrRefusedNeverCrash)
{
    // What fuzzing and odd files found, each named by what must happen to it.
    const QDir found(ZU_FUZZ_REGRESSIONS_DIR "/plist");
    ASSERT_FALSE(found.isEmpty());
    for (const QString &name : found.entryList(QDir::Files))
        EXPECT_EQ(bool(parsePlistDictionary(readFile(found.filePath(name)))), name.startsWith("read-"))
            << name.toStdString();
    EXPECT_FALSE(parsePlistDictionary(""));
    EXPECT_EQ(parsePlistDictionary(readFile(found.filePath("read-binary.plist")))->value("name"), "value");

    // Very deep nesting is refused rather than recursed into; a large file is just read.
    EXPECT_FALSE(parsePlistDictionary(xmlPlist("<dict><key>k</key>" + QByteArray("<array>").repeated(100000) +
                                               QByteArray("</array>").repeated(100000) + "</dict>")));
    const auto large = parsePlistDictionary(
        xmlPlist("<dict><key>blob</key><string>" + QByteArray(50 * 1024 * 1024, 'a') + "</string></dict>"));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->value("blob").toString().size(), 50 * 1024 * 1024);
}

} // namespace
