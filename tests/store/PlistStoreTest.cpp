#include "Doubles.h"
#include "EventLoop.h"
#include "PlistFormat.h"
#include "TavrelPlist.h"
#include "TestHome.h"

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

    TestHome home;
    QTemporaryDir resources;
    DoubledServices services{resources.path()};
};

TEST_F(StoreTest, FirstStartMakesAPrivateFolderAndCopiesTheTemplate)
{
    std::string out;
    std::unique_ptr<TavrelPlist> store;
    out = capturedOutput(
        [&] { store = std::make_unique<TavrelPlist>("appSettings", DirectoryKind::ApplicationSupport); });
    EXPECT_EQ(out, "");
    ASSERT_TRUE(store->pList);
    EXPECT_EQ(store->getPlistPath(), home.settingsFile());
    EXPECT_EQ(modeOf(home.appFolder()), 0700u);
    EXPECT_EQ(modeOf(home.settingsFile()), 0600u); // it holds a password
    const QVariantMap root = store->getMutItems();
    EXPECT_EQ(root.value("appSettings").toMap().value("username").toString(), "tpl");
    EXPECT_EQ(root.value("other").toLongLong(), 7);
}

TEST_F(StoreTest, LaterStartsKeepTheWorkingFile)
{
    TavrelPlist first("appSettings", DirectoryKind::ApplicationSupport);
    ASSERT_TRUE(first.addDictionary("appSettings", {{"username", "mine"}}));
    writeTemplate(xmlPlist("<dict><key>appSettings</key><dict><key>username</key><string>new</string></dict></dict>"));
    TavrelPlist second("appSettings", DirectoryKind::ApplicationSupport);
    EXPECT_EQ(second.getItems().value("appSettings").toMap().value("username").toString(), "mine");
}

TEST_F(StoreTest, WithoutATemplateTheStoreIsClosed)
{
    QFile::remove(resources.filePath("appSettings.plist"));
    std::unique_ptr<TavrelPlist> store;
    const std::string out = capturedOutput(
        [&] { store = std::make_unique<TavrelPlist>("appSettings", DirectoryKind::ApplicationSupport); });
    EXPECT_EQ(out.rfind("\U0001F535 Unable to get Plist [", 0), 0u) << out;
    EXPECT_NE(out.find("TavrelPlist.cpp:"), std::string::npos);
    EXPECT_TRUE(QFileInfo(home.appFolder()).isDir()); // made before the template was looked for
    EXPECT_FALSE(store->pList);
    EXPECT_TRUE(store->getMutItems().isEmpty());
    EXPECT_FALSE(store->addDictionary("appSettings", {}));
    EXPECT_FALSE(store->itemExists("appSettings"));
    EXPECT_EQ(store->getPlistPath(), "");
}

TEST_F(StoreTest, AFolderThatCannotBeMadeGoesToTheSystemLog)
{
    writeFile(home.appSupport(), "a file where the folder should be");
    const std::string out =
        capturedOutput([&] { TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport); });
    EXPECT_NE(out.find("Unable to get Plist"), std::string::npos);
    ASSERT_EQ(services.systemLog.lines.size(), 1u);
    EXPECT_FALSE(services.systemLog.lines[0].isEmpty());
}

TEST_F(StoreTest, SavesReplaceOneEntryAndKeepTheRest)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    ASSERT_TRUE(store.addDictionary("appSettings", {{"password", "p"}}));
    const QVariantMap root = fileContents();
    EXPECT_EQ(root.value("other").toLongLong(), 7);
    EXPECT_EQ(root.value("appSettings").toMap(), (QVariantMap{{"password", "p"}}));
    EXPECT_TRUE(store.addArray("list", {1, "two"}));
    EXPECT_EQ(fileContents().value("list").toList().size(), 2);

    EXPECT_TRUE(store.deleteItem("not-there"));
    EXPECT_TRUE(store.itemExists("other"));
    EXPECT_FALSE(store.itemExists("password")); // only the root level is searched
    EXPECT_TRUE(store.deleteItem("other"));
    EXPECT_FALSE(fileContents().contains("other"));

    // Atomic saves leave no temporary file behind and keep the file private.
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
    EXPECT_EQ(root.value("appSettings").toMap().value("username").toString(), "ann");
    EXPECT_EQ(root.value("big").toULongLong(), 18446744073709551615ull); // not -1
    EXPECT_EQ(root.value("small").toLongLong(), -1);
    EXPECT_TRUE(readFile(target).contains("<integer>18446744073709551615</integer>"));
    EXPECT_EQ(QDir(home.file("dotfiles/zandor")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"appSettings.plist"});
}

TEST_F(StoreTest, AWorkingFileRemovedWhileOpenIsNotRecreated)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    QFile::remove(home.settingsFile());
    bool saved = true;
    EXPECT_EQ(capturedOutput([&] { saved = store.addDictionary("appSettings", {}); }), "FileDoesNotExist\n");
    EXPECT_FALSE(saved);
    EXPECT_FALSE(QFile::exists(home.settingsFile()));
}

TEST_F(StoreTest, AReadOnlyWorkingFileIsLeftAsItIs)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    const QByteArray before = readFile(home.settingsFile());
    ::chmod(QFile::encodeName(home.settingsFile()).constData(), 0400);
    bool saved = true;
    EXPECT_EQ(capturedOutput([&] {
                  saved = store.addDictionary("appSettings", {{"x", 1}});
              }),
              "File not written successfully\nFileNotWritten\n");
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFile(home.settingsFile()), before);
}

TEST_F(StoreTest, AnUnreadableFileIsKeptAsideBeforeASaveReplacesIt)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    writeFile(home.settingsFile(), "garbage, not a property list");
    EXPECT_TRUE(store.getMutItems().isEmpty());
    const std::string out = capturedOutput([&] { EXPECT_TRUE(store.addDictionary("appSettings", {{"a", "b"}})); });
    EXPECT_EQ(occurrences(out, "\n"), 1) << out;
    EXPECT_EQ(readFile(home.settingsFile() + ".unreadable"), "garbage, not a property list");
    EXPECT_EQ(fileContents(), (QVariantMap{{"appSettings", QVariantMap{{"a", "b"}}}}));
}

TEST_F(StoreTest, PlainNameLivesInTheDocumentsFolder)
{
    writeFile(resources.filePath("notes.plist"), xmlPlist("<dict/>"));
    TavrelPlist store("notes");
    EXPECT_EQ(store.getPlistPath(), home.documents() + "/notes.plist");
    EXPECT_TRUE(QFile::exists(home.documents() + "/notes.plist"));
    EXPECT_FALSE(QFileInfo::exists(home.appFolder()));
}

TEST(PlistFormat, EveryValueKindSurvivesARoundTrip)
{
    const QDateTime when(QDate(2016, 3, 1), QTime(10, 5, 7), QTimeZone::utc());
    const QVariantMap original{
        {"text", QString::fromUtf8("Grüße \xF0\x9F\x93\xBA & <tags>")},
        {"integer", qint64(42)},
        {"negative", qint64(-5)},
        {"real", 2.5},
        {"yes", true},
        {"no", false},
        {"date", when},
        {"data", QByteArray("\x00\x01\xff", 3)},
        {"array", QVariantList{qint64(1), QString("two"), QVariantList{}}},
        {"dict", QVariantMap{{"nested", QVariantMap{{"deep", QString("x")}}}}},
        {"empty", QString()},
    };
    const auto back = parsePlistDictionary(toXmlPlist(original));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->value("text"), original.value("text"));
    EXPECT_EQ(back->value("integer").toLongLong(), 42);
    EXPECT_EQ(back->value("negative").toLongLong(), -5);
    EXPECT_EQ(back->value("real").toDouble(), 2.5);
    EXPECT_EQ(back->value("yes").typeId(), QMetaType::Bool);
    EXPECT_TRUE(back->value("yes").toBool());
    EXPECT_FALSE(back->value("no").toBool());
    EXPECT_EQ(back->value("date").toDateTime(), when);
    EXPECT_EQ(back->value("data").toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(back->value("array").toList().size(), 3);
    EXPECT_EQ(back->value("dict").toMap().value("nested").toMap().value("deep").toString(), "x");
    EXPECT_EQ(back->value("empty").toString(), "");
}

TEST(PlistFormat, BadFilesAreReadOrRefusedNeverCrash)
{
    // What fuzzing and odd files found, each named by what must happen to it.
    const QDir found(ZU_FUZZ_REGRESSIONS_DIR "/plist");
    ASSERT_FALSE(found.isEmpty());
    for (const QString &name : found.entryList(QDir::Files)) {
        const auto read = parsePlistDictionary(readFile(found.filePath(name)));
        EXPECT_EQ(bool(read), name.startsWith("read-")) << name.toStdString();
    }
    EXPECT_FALSE(parsePlistDictionary(""));
    EXPECT_EQ(parsePlistDictionary(readFile(found.filePath("read-binary.plist")))->value("name"), "value");

    // Very deep nesting is refused rather than recursed into.
    QByteArray deep = "<dict><key>k</key>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    for (int i = 0; i < 100000; ++i)
        deep += "</array>";
    deep += "</dict>";
    EXPECT_FALSE(parsePlistDictionary(xmlPlist(deep)));

    // A large file is just read.
    QByteArray big = "<dict><key>blob</key><string>";
    big += QByteArray(50 * 1024 * 1024, 'a');
    big += "</string></dict>";
    const auto large = parsePlistDictionary(xmlPlist(big));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->value("blob").toString().size(), 50 * 1024 * 1024);
}

} // namespace
