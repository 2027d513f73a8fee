#include "PlistFormat.h"
#include "TavrelPlist.h"
#include "Testing.h"

#include <QDateTime>
#include <QThread>
#include <QTimeZone>
#include <QtEndian>
#include <sys/wait.h>

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

template <typename Number> QByteArray bigEndian(Number value)
{
    const Number big = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&big), sizeof big);
}

// A binary property list whose dictionary holds `links` chains of `length`
// arrays, each chain's last array holding the chain before it, then a `true`:
// every chain alone is shallow, together they nest links * length deep.
QByteArray linkedChains(int links, int length)
{
    QByteArray bytes = "bplist00";
    std::vector<quint16> offsets;
    auto object = [&](QByteArray body) {
        offsets.push_back(quint16(bytes.size()));
        bytes += body;
    };
    auto ref = [](int index) { return bigEndian(quint16(index)); };
    const int top = 4; // the chains' objects follow the dictionary, its key, `true` and the list of chains
    object("\xD1" + ref(1) + ref(3));
    object("\x51k");
    object("\x09");
    QByteArray all = "\xAF\x11" + ref(links);
    for (int k = 0; k < links; ++k)
        all += ref(top + k * length);
    object(all);
    for (int k = 0; k < links; ++k) {
        for (int j = 0; j + 1 < length; ++j)
            object("\xA1" + ref(top + k * length + j + 1));
        object(k == 0 ? "\xA1" + ref(2) : "\xA2" + ref(top + (k - 1) * length) + ref(2));
    }
    const quint64 table = bytes.size(), count = offsets.size();
    for (const quint16 offset : offsets)
        bytes += bigEndian(offset);
    bytes += QByteArray(6, '\0') + "\x02\x02";
    for (const quint64 field : {count, quint64(0), table})
        bytes += bigEndian(field);
    return bytes;
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
              ("Settings file " + home.settingsFile() + " made from " + resources.filePath("appSettings.plist") + "\n")
                  .toStdString());
    EXPECT_EQ(store->getPlistPath(), home.settingsFile());
    EXPECT_EQ(modeOf(home.appFolder()), 0700u);
    EXPECT_EQ(modeOf(home.settingsFile()), 0600u); // it holds a password
    EXPECT_EQ(store->getMutItems().value("appSettings").toMap().value("username"), "tpl");

    ASSERT_TRUE(store->addDictionary("appSettings", {{"username", "mine"}}));
    writeTemplate(xmlPlist("<dict><key>appSettings</key><dict><key>username</key><string>new</string></dict></dict>"));
    TavrelPlist second("appSettings", DirectoryKind::ApplicationSupport);
    EXPECT_EQ(second.getItems().value("appSettings").toMap().value("username"), "mine");
    QFile::remove(resources.filePath("appSettings.plist")); // the store holds only while its template is there
    save(second, {{"username", "lost"}}, false);
    EXPECT_EQ(fileContents().value("appSettings").toMap().value("username"), "mine");

    writeFile(resources.filePath("notes.plist"), xmlPlist("<dict/>")); // a plain name: the documents folder
    EXPECT_EQ(TavrelPlist("notes").getPlistPath(), home.documents() + "/notes.plist");
    EXPECT_TRUE(QFile::exists(home.documents() + "/notes.plist"));
}

TEST_F(StoreTest, AnAdministratorsTemplateComesFirstEvenWhenItIsBad)
{
    home.set("XDG_CONFIG_DIRS", ""); // empty or unset: the XDG default
    EXPECT_EQ(platform::systemConfigFolders(), QStringList{"/etc/xdg"});
    home.set("XDG_CONFIG_DIRS", home.file("etc/xdg"));
    const QString admin = home.file("etc/xdg/zandorupdate/appSettings.plist");
    writeFile(admin, xmlPlist("<dict><key>appSettings</key><dict><key>mpg_url</key>"
                              "<string>https://news.example/zandor/zandor.mpeg</string></dict></dict>"));
    std::string said;
    {
        said = capturedOutput([] { TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport); });
        EXPECT_EQ(fileContents().value("appSettings").toMap().value("mpg_url"),
                  "https://news.example/zandor/zandor.mpeg");
        EXPECT_NE(said.find(" made from " + admin.toStdString() + "\n"), std::string::npos) << said;
    }
    // A user who already has settings keeps them; a broken template is copied
    // as it is (and reads as unreadable), never passed over for the next one.
    writeFile(admin, "not a property list");
    TavrelPlist kept("appSettings", DirectoryKind::ApplicationSupport);
    EXPECT_EQ(kept.getItems().value("appSettings").toMap().value("mpg_url"), "https://news.example/zandor/zandor.mpeg");
    QFile::remove(home.settingsFile());
    TavrelPlist broken("appSettings", DirectoryKind::ApplicationSupport);
    EXPECT_EQ(readFile(home.settingsFile()), "not a property list");
    EXPECT_TRUE(broken.getItems().isEmpty());
}

TEST_F(StoreTest, WithoutATemplateOrAFolderTheStoreIsClosed)
{
    withFileSizeLimit(100, [] { // no room for the whole template: no half a copy either
        const std::string out =
            capturedOutput([] { TavrelPlist full("appSettings", DirectoryKind::ApplicationSupport); }, Level::Error);
        EXPECT_NE(out.find("Unable to copy file. ERROR: File too large"), std::string::npos) << out;
    });
    EXPECT_FALSE(QFile::exists(home.settingsFile()));
    QFile::remove(resources.filePath("appSettings.plist")); // a template that cannot be read: no empty copy
    QDir().mkpath(resources.filePath("appSettings.plist/"));
    EXPECT_NE(capturedOutput([] { TavrelPlist("appSettings", DirectoryKind::ApplicationSupport); }, Level::Error)
                  .find("Unable to copy file. ERROR: "),
              std::string::npos);
    EXPECT_FALSE(QFile::exists(home.settingsFile()));
    QDir().rmdir(resources.filePath("appSettings.plist"));
    writeFile(resources.filePath("notes.plist"), xmlPlist("<dict/>")); // into a documents folder that is gone
    QDir(home.documents()).removeRecursively();
    EXPECT_NE(capturedOutput([] { TavrelPlist("notes"); }, Level::Error)
                  .find("Unable to copy file. ERROR: No such file or directory\n"),
              std::string::npos);
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
    writeTemplate(xmlPlist("<dict/>"));
    out = capturedOutput([&] { TavrelPlist again("appSettings", DirectoryKind::ApplicationSupport); });
    EXPECT_EQ(out.rfind("\U0001F535 Unable to get Plist [", 0), 0u) << out; // and nothing tried in it
    EXPECT_EQ(occurrences(out, "\n"), 1) << out;
    ASSERT_EQ(services.systemLog.lines.size(), 1u); // and the system log says why
}

TEST_F(StoreTest, SavesReplaceOneEntryAtomicallyAndKeepTheRest)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    ASSERT_TRUE(store.addDictionary("appSettings", {{"password", "p"}, {"zoë", "keys are text too"}}));
    EXPECT_EQ(fileContents().value("other").toLongLong(), 7);
    EXPECT_EQ(fileContents().value("appSettings").toMap(),
              (QVariantMap{{"password", "p"}, {"zoë", "keys are text too"}}));
    EXPECT_TRUE(store.addArray("list", {1, QStringList{"two", "three"}}));
    EXPECT_EQ(fileContents().value("list").toList().value(1).toStringList(), (QStringList{"two", "three"}));
    EXPECT_TRUE(store.addArray("list", {"four"})); // in place of the one there
    EXPECT_EQ(fileContents().value("list").toList(), QVariantList{"four"});
    EXPECT_TRUE(store.deleteItem("not-there"));
    EXPECT_FALSE(store.itemExists("password"));                        // only the root level is searched
    ::chmod(QFile::encodeName(home.settingsFile()).constData(), 0644); // as a backup restored it
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
    EXPECT_TRUE(readFile(target).contains("<integer>-1</integer>"));                   // nor the other way
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
    // The disk fills up in the middle of a save: the file stays as it was.
    withFileSizeLimit(4096, [&] {
        EXPECT_EQ(occurrences(save(store, {{"big", QString(8192, 'x')}}, false), "\n"), 2);
    });
    EXPECT_EQ(fileContents(), (QVariantMap{{"appSettings", QVariantMap{{"a", "b"}}}}));
}

TEST_F(StoreTest, WhatIsNoFileIsReadAsUnreadableAndNeverWrittenThrough)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    QFile::remove(home.settingsFile());
    ASSERT_EQ(mkfifo(QFile::encodeName(home.settingsFile()).constData(), 0600), 0);
    EXPECT_TRUE(store.getMutItems().isEmpty()); // at once: nobody writes into the pipe
    QFile::remove(home.settingsFile());
    ASSERT_TRUE(QFile::link("/dev/zero", home.settingsFile()));
    EXPECT_TRUE(store.getMutItems().isEmpty());
    EXPECT_EQ(save(store, {{"a", "b"}}, false), "File not written successfully\nFileNotWritten\n");
    EXPECT_TRUE(QFileInfo(home.settingsFile()).isSymLink());
    EXPECT_FALSE(QFileInfo(home.appFolder() + "/appSettings.plist.unreadable").exists());

    // Larger than any settings file: kept aside whole, then replaced.
    QFile::remove(home.settingsFile());
    const QByteArray huge = xmlPlist("<dict><key>k</key><string>" + QByteArray(20 << 20, 'h') + "</string></dict>");
    writeFile(home.settingsFile(), huge);
    EXPECT_TRUE(store.getMutItems().isEmpty());
    EXPECT_EQ(occurrences(save(store, {{"a", "b"}}, true), "\n"), 1);
    EXPECT_EQ(readFile(home.settingsFile() + ".unreadable"), huge);
    EXPECT_EQ(fileContents(), (QVariantMap{{"appSettings", QVariantMap{{"a", "b"}}}}));
}

TEST_F(StoreTest, EveryDateSurvivesASave)
{
    writeFile(home.settingsFile(), xmlPlist("<dict><key>far</key><date>2100-01-01T00:00:00Z</date>"
                                            "<key>old</key><date>1900-06-01T12:34:56Z</date></dict>"));
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    const QDateTime ours(QDate(2100, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
    ASSERT_TRUE(store.addArray("mine", {ours, QVariant::fromValue(-5L)}));
    const QVariantMap root = fileContents();
    EXPECT_EQ(root.value("far").toDateTime(), QDateTime(QDate(2100, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(root.value("old").toDateTime(), QDateTime(QDate(1900, 6, 1), QTime(12, 34, 56), QTimeZone::utc()));
    EXPECT_EQ(root.value("mine").toList().value(0).toDateTime(), ours);
    EXPECT_EQ(root.value("mine").toList().value(1), QVariant(qint64(-5))); // a long too stays a number
    EXPECT_EQ(root.value("mine").toList().value(1).typeId(), QMetaType::LongLong);
}

TEST_F(StoreTest, AFolderThatTakesNoNewFileHasItsFileWrittenInPlace)
{
    TavrelPlist store("appSettings", DirectoryKind::ApplicationSupport);
    // As its owner, whom the folder's mode binds: root is not bound by it.
    const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
    ASSERT_EQ(::chown(QFile::encodeName(home.path()).constData(), owner, owner), 0);
    for (const QString &path :
         {resources.path(), home.file(".local"), home.appSupport(), home.appFolder(), home.settingsFile()})
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner, owner), 0);
    ::chmod(QFile::encodeName(home.appFolder()).constData(), 0500);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(owner) != 0 || setuid(owner) != 0)
            _exit(3);
        _exit(store.addDictionary("appSettings", {{"username", "kept"}}) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(home.appFolder()).constData(), 0700);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(fileContents().value("appSettings").toMap().value("username"), "kept");
    EXPECT_EQ(modeOf(home.settingsFile()), 0600u);
}

TEST(PlistFormat, BadFilesAreReadOrRefusedNeverCrash)
{
    // What fuzzing and odd files found, each named by what must happen to it:
    // nesting deeper than we allow (binary, XML, a loop) is refused before
    // libplist recurses into it and overflows the stack.
    const QDir found(ZU_FUZZ_REGRESSIONS_DIR "/plist");
    ASSERT_FALSE(found.isEmpty());
    for (const QString &name : found.entryList(QDir::Files))
        EXPECT_EQ(bool(parsePlistDictionary(readFile(found.filePath(name)))), name.startsWith("read-"))
            << name.toStdString();
    EXPECT_FALSE(parsePlistDictionary(""));
    // Arrays alone, nested deeper than any stack: refused before libplist recurses.
    EXPECT_FALSE(parsePlistDictionary(xmlPlist("<dict><key>k</key>" + QByteArray("<array>").repeated(1 << 20))));
    // Side by side is no nesting, however many; as deep as we allow is read.
    EXPECT_TRUE(parsePlistDictionary(
        xmlPlist("<dict><key>k</key><array>" + QByteArray("<array></array>").repeated(1000) + "</array></dict>")));
    EXPECT_TRUE(
        parsePlistDictionary(xmlPlist("<dict><key>k</key>" + QByteArray("<array>").repeated(511) +
                                      "<string>s</string><true/>" + QByteArray("</array>").repeated(511) + "</dict>")));
    // Shallow chains joined through shared objects nest deeper than a small
    // stack holds: refused before libplist walks them, as it would on any.
    EXPECT_TRUE(parsePlistDictionary(linkedChains(1, 400)));
    std::optional<QVariantMap> joined;
    std::unique_ptr<QThread> reader(QThread::create([&] { joined = parsePlistDictionary(linkedChains(25, 400)); }));
    reader->setStackSize(256 * 1024);
    reader->start();
    reader->wait();
    EXPECT_FALSE(joined);
    // A value we cannot read (there is no year 0) makes the whole file unreadable, not read in part.
    EXPECT_FALSE(parsePlistDictionary(
        xmlPlist("<dict><key>a</key><true/><key>b</key><date>0000-01-01T00:00:00Z</date></dict>")));
    EXPECT_EQ(parsePlistDictionary(readFile(found.filePath("read-binary.plist"))).value_or(QVariantMap()).value("name"),
              "value");
    // Those in the other encodings XML allows say it right.
    for (const QString name : {"read-utf8-bom.plist", "read-utf16le.plist", "read-utf16be.plist"})
        EXPECT_EQ(parsePlistDictionary(readFile(found.filePath(name))).value_or(QVariantMap()).value("zoe"), "zoë");
    // A keyed archive's reference is unsigned, whatever its width.
    const auto archive = parsePlistDictionary(
        QByteArray::fromBase64("YnBsaXN0MDDRAQJRdYP/////CAsNAAAAAAAAAQEAAAAAAAAAAwAAAAAAAAAAAAAAAAAAABI="));
    EXPECT_EQ(archive.value_or(QVariantMap()).value("u"), QVariant(qint64(4294967295)));
    // A large file is just read.
    const auto large = parsePlistDictionary(
        xmlPlist("<dict><key>blob</key><string>" + QByteArray(50 * 1024 * 1024, 'a') + "</string></dict>"));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->value("blob").toString().size(), 50 * 1024 * 1024);
}

} // namespace
