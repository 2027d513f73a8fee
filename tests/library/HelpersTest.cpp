#include "TavrelExtensions.h"
#include "TavrelLogger.h"
#include "TavrelUtils.h"
#include "Testing.h"

#include <QLocalServer>
#include <QTimeZone>
#include <ctime>
#include <future>
#include <sys/stat.h>

namespace {

TEST(Helpers, FileChecksListingsAndTheCausesDeleteFilePrints)
{
    TestHome home;
    DoubledServices services;
    writeFile(home.file("list/a.mpeg"), "a");
    writeFile(home.file("list/.hidden"), "h");
    QDir().mkpath(home.file("list/sub"));
    const QUrl list = QUrl::fromLocalFile(home.file("list")), file = QUrl::fromLocalFile(home.file("list/a.mpeg"));
    EXPECT_TRUE(TavrelUtils::DirectoryExists(list) && !TavrelUtils::DirectoryExists(file));
    EXPECT_TRUE(TavrelUtils::DirectoryExists(QUrl("file:///")));
    EXPECT_EQ(TavrelUtils::getFileListFromDirectory(list).size(), 3u);
    const auto files = TavrelUtils::getFileListFromDirectory(list, TavrelUtils::kSkipSubDirectories);
    ASSERT_EQ(files.size(), 1u); // no hidden entries, no folders
    EXPECT_EQ(std::make_pair(files[0].shortName, files[0].fullName), std::make_pair(QString("a.mpeg"), file));

    QFile::link("loop", home.file("loop"));
    const std::pair<QString, std::string> failures[] = {
        {home.file("nothing"), "No such file or directory"},
        {home.file("loop/clip.mpeg"), "Too many levels of symbolic links"},
        {home.file("list/a.mpeg/x"), "Not a directory"},
    };
    for (const auto &[path, cause] : failures) { // each helper says why, and gives nothing
        const QUrl url = QUrl::fromLocalFile(path);
        const std::string said = cause + " (" + path.toStdString() + ")\n";
        EXPECT_EQ(capturedOutput([&] { EXPECT_FALSE(TavrelUtils::deleteFile(url)); }),
                  "Ooops! Something went wrong: " + said);
        EXPECT_EQ(capturedOutput([&] { EXPECT_TRUE(TavrelUtils::getFileAttributes(url).isEmpty()); }),
                  "Error: " + said);
        EXPECT_EQ(capturedOutput([&] { EXPECT_TRUE(TavrelUtils::getFileListFromDirectory(url).empty()); }), said);
        EXPECT_EQ(capturedOutput([&] { EXPECT_TRUE(TavrelUtils::getFileListFromDirectory(url, false).empty()); }),
                  said);
    }
    EXPECT_TRUE(TavrelUtils::deleteFile(list)); // a folder goes with its contents
    EXPECT_FALSE(QFileInfo::exists(home.file("list")));
}

TEST(Helpers, ATrailingSlashNamesTheItemItselfNeverWhatALinkLeadsTo)
{
    TestHome home;
    DoubledServices services;
    writeFile(home.file("target/keep.mpeg"), "k");
    writeFile(home.file("plain.mpeg"), "p");
    QFile::link(home.file("target"), home.file("link"));
    const auto at = [&](const QString &relative) { return QUrl::fromLocalFile(home.file(relative)); };
    EXPECT_EQ(TavrelUtils::getFileAttributes(at("link/")).value(TavrelUtils::FileTypeKey),
              TavrelUtils::FileTypeSymbolicLink);
    QFile::setPermissions(home.file("plain.mpeg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const QVariantMap plain = TavrelUtils::getFileAttributes(at("plain.mpeg/"));
    EXPECT_EQ(plain.keys(), (QStringList{"FileModificationDate", "FilePosixPermissions", "FileSize", "FileType"}));
    EXPECT_EQ(plain.value(TavrelUtils::FileTypeKey), TavrelUtils::FileTypeRegular);
    EXPECT_EQ(plain.value(TavrelUtils::FilePermissionsKey), 0604); // the mode alone, not the file's type
    EXPECT_TRUE(TavrelUtils::deleteFile(at("link/")));
    EXPECT_FALSE(QFileInfo(home.file("link")).isSymLink());
    EXPECT_EQ(readFile(home.file("target/keep.mpeg")), "k"); // what it pointed at is untouched
    EXPECT_TRUE(TavrelUtils::deleteFile(at("plain.mpeg/")));
    EXPECT_FALSE(QFileInfo::exists(home.file("plain.mpeg")));
}

// The user's clock in a zone of the test's choosing.
class InZone {
public:
    explicit InZone(const char *zone) : saved_(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~InZone()
    {
        qputenv("TZ", saved_);
        tzset();
    }

private:
    QByteArray saved_;
};

TEST(Helpers, ALocalDateIsTheUsersClockReadInTheNamedZone)
{
    // Where the user's own zone uses the abbreviation now, it is the user's instant.
    for (const auto &[zone, abbreviation] : {std::pair{"Australia/Brisbane", "AEST"},
                                             {"Pacific/Honolulu", "HST"},
                                             {"America/Phoenix", "MST"},
                                             {"Asia/Kolkata", "IST"},
                                             {"Asia/Shanghai", "CST"}}) { // not Chicago's CST
        InZone in(zone);
        const QDateTime now = QDateTime::currentDateTime();
        EXPECT_LE(std::abs(TavrelExtensions::getLocalDate(abbreviation).secsTo(now)), 1) << zone;
    }
    // Abbreviations the zone database spells with numbers, and one out of season.
    InZone in("UTC");
    const std::pair<const char *, int> offsets[] = {
        {"BRT", -3 * 3600}, {"ART", -3 * 3600}, {"PHT", 8 * 3600},  {"ICT", 7 * 3600},
        {"MYT", 8 * 3600},  {"IRST", 12600},    {"PET", -5 * 3600}, {"COT", -5 * 3600},
        {"CLT", -4 * 3600}, {"BDT", 6 * 3600},  {"GST", 4 * 3600},  {"JST", 9 * 3600},
    };
    for (const auto &[abbreviation, offset] : offsets)
        EXPECT_EQ(TavrelExtensions::getLocalDate(abbreviation).offsetFromUtc(), offset) << abbreviation;
    // One that several zones use is the best-known one's, while that one uses it.
    for (const auto &[abbreviation, zone] : {std::pair{"IST", "Asia/Kolkata"},
                                             {"CST", "America/Chicago"},
                                             {"AST", "America/Halifax"},
                                             {"BST", "Europe/London"},
                                             {"EET", "Europe/Athens"}})
        if (QTimeZone(zone).abbreviation(QDateTime::currentDateTime()) == abbreviation) {
            EXPECT_EQ(TavrelExtensions::timeZoneForAbbreviation(abbreviation)->id(), zone);
        }
    const bool summer = QTimeZone("America/Los_Angeles").isDaylightTime(QDateTime::currentDateTime());
    EXPECT_EQ(TavrelExtensions::getLocalDate(summer ? "PST" : "PDT").offsetFromUtc(), summer ? -8 * 3600 : -7 * 3600);
    for (const char *unknown : {"NOPE", "JS"}) // unknown, or only the start of one: the user's own clock
        EXPECT_EQ(TavrelExtensions::getLocalDate(unknown).offsetFromUtc(), 0) << unknown;
    EXPECT_EQ(TavrelExtensions::getLocalDate("JST").time().msec(), 0); // to the second
}

TEST(Helpers, AShortTimeIsHoursAndMinutesInEveryLocale)
{
    {
        InZone tokyo("Asia/Tokyo"); // the user's clock, not UTC
        QLocale::setDefault(QLocale::c());
        EXPECT_EQ(TavrelExtensions::toShortTimeString(QDateTime(QDate(2026, 12, 7), QTime(0, 30), QTimeZone::utc())),
                  "09:30");
    }
    const QDateTime at(QDate(2026, 12, 7), QTime(9, 5, 7));
    for (const auto &[locale, shown] :
         {std::pair{QLocale::c(), "09:05"}, {QLocale("en_US"), "9:05 AM"}, {QLocale("de_DE"), "09:05"}}) {
        QLocale::setDefault(locale);
        EXPECT_EQ(TavrelExtensions::toShortTimeString(at), shown) << locale.name().toStdString();
    }
    QLocale::setDefault(QLocale::system());
}

TEST(Helpers, PathsJoinWithOneSeparatorAndAnExtensionNeedsAName)
{
    using namespace TavrelExtensions;
    EXPECT_EQ(stringByAppendingPathComponent("/news//", "/clips/"), "/news/clips");
    EXPECT_EQ(stringByAppendingPathExtension("/news/zandor//", "mpeg"), "/news/zandor.mpeg");
    for (const auto &[text, extension] : {std::pair{"/", "mpeg"}, {"~", "mpeg"}, {"zandor", "/mpeg"}})
        EXPECT_FALSE(stringByAppendingPathExtension(text, extension)) << text;
}

TEST(Helpers, FoldersOfEachKindTheirSubFoldersAndWhatTheFileSystemCallsAnItem)
{
    using namespace TavrelExtensions;
    using platform::DirectoryKind;
    TestHome home;
    DoubledServices services;
    const std::pair<DirectoryKind, const char *> kinds[] = {
        {DirectoryKind::Documents, "Documents"},
        {DirectoryKind::Desktop, "Desktop"},
        {DirectoryKind::Downloads, "Downloads"},
        {DirectoryKind::Movies, "Videos"},
        {DirectoryKind::Music, "Music"},
        {DirectoryKind::Pictures, "Pictures"},
        {DirectoryKind::ApplicationSupport, ".local/share"},
    };
    for (const auto &[kind, folder] : kinds) {
        QDir().mkpath(home.file(folder));
        EXPECT_TRUE(createSubFolderAt("news", kind)) << folder;
        EXPECT_TRUE(isDirectory(QUrl::fromLocalFile(home.file(QString(folder) + "/news")))) << folder;
        const std::string out = capturedOutput([&] { EXPECT_FALSE(createSubFolderAt("news", kind)); });
        EXPECT_EQ(out, "File exists (" + home.file(QString(folder) + "/news").toStdString() + ")\n");
    }
    EXPECT_FALSE(createSubFolderAt("a/b", DirectoryKind::Music)); // the parent must be there

    writeFile(home.file("Music/news/.hidden/x"), "x");
    writeFile(home.file("Music/news/clip.mpeg"), "c");
    ::mkfifo(QFile::encodeName(home.file("Music/news/pipe")).constData(), 0600);
    QLocalServer socket;
    ASSERT_TRUE(socket.listen(home.file("Music/news/socket")));
    const auto at = [&](const char *relative) { return QUrl::fromLocalFile(home.file(relative)); };
    EXPECT_EQ(subdirectories(at("Music")), std::vector{at("Music/news")});
    EXPECT_EQ(subdirectories(at("Music/news")), std::vector{at("Music/news/.hidden")});
    EXPECT_TRUE(subdirectories(at("Music/news/clip.mpeg")).empty());
    for (const QUrl &notAFolder : {at("Music/news/clip.mpeg"), at("nothing"), QUrl(), QUrl("https://h/Music")})
        EXPECT_FALSE(isDirectory(notAFolder) || TavrelUtils::isDir(notAFolder)) << notAFolder.toString().toStdString();
    EXPECT_TRUE(TavrelUtils::isDir(at("Music")));
    QFile::link(home.file("Music/news/clip.mpeg"), home.file("to-clip"));
    QFile::link(home.file("gone"), home.file("to-nothing"));
    EXPECT_TRUE(TavrelUtils::urlExists(at("to-clip")));
    EXPECT_FALSE(TavrelUtils::urlExists(at("to-nothing")) || TavrelUtils::urlExists(QUrl("https://h/to-clip")));
    const std::pair<QUrl, QString> types[] = {
        {at("Music/news/pipe"), TavrelUtils::FileTypeNamedPipe},
        {at("Music/news/socket"), TavrelUtils::FileTypeSocket},
        {QUrl("file:///dev/null"), TavrelUtils::FileTypeCharacterSpecial},
        {at("Music"), TavrelUtils::FileTypeDirectory},
    };
    for (const auto &[url, type] : types)
        EXPECT_EQ(TavrelUtils::getFileAttributes(url).value(TavrelUtils::FileTypeKey), type) << type.toStdString();

    EXPECT_TRUE(isEmpty(" \t\n") && isEmpty(""));
    EXPECT_FALSE(isEmpty(" a "));
    InZone in("Asia/Kolkata"); // half an hour off UTC
    const QDateTime evening(QDate(2026, 12, 7), QTime(23, 45), QTimeZone::utc());
    EXPECT_EQ(std::make_pair(hour(evening), minute(evening)), std::make_pair(qint64(5), qint64(15)));
    services.fileChooser.answer = {platform::kChooserOK, {at("Music/news/clip.mpeg")}};
    EXPECT_EQ(selectUrl(), at("Music/news/clip.mpeg"));
    const platform::ChooserOptions &asked = services.fileChooser.asked.back();
    EXPECT_TRUE(asked.canChooseFiles && !asked.canChooseDirectories && !asked.allowsMultipleSelection &&
                !asked.canCreateDirectories);
    EXPECT_EQ(asked.title, "Select File");
}

TEST(Logger, EachLevelUpToTheVerbosityIsPrintedWithItsGlyphAndCallSite)
{
    // One shared logger for every thread, so one verbosity holds everywhere.
    EXPECT_EQ(std::async([] { return &TavrelLogger::sharedInstance(); }).get(), &TavrelLogger::sharedInstance());
    TavrelLogger logger;
    const std::string glyphs[] = {"", "\U0001F6AB", "\U0001F514", "\u2705", "\U0001F535", "\U0001F536"};
    for (int level = 0; level <= 5; ++level)
        EXPECT_EQ(logger.getMessage("hi", LoggerLevels(level), "f.cpp", 7), glyphs[level] + " hi [f.cpp:7] hi");
    for (int verbosity = 0; verbosity <= 5; ++verbosity)
        for (int level = 1; level <= 5; ++level) {
            logger.verbosityLevel = LoggerLevels(verbosity);
            const std::string out = capturedOutput([&] { logger.logMessage("m", LoggerLevels(level), "f", 1); });
            EXPECT_EQ(out.empty(), level > verbosity) << verbosity << " " << level;
        }
    logger.verbosityLevel = LoggerLevels::Custom;
    EXPECT_EQ(logger.getMessage("at"), logger.getMessage("at", LoggerLevels::Info, __FILE__, __LINE__));
    const std::string out = capturedOutput([&] { logger.logMessageAndAssert([] { return true; }, "fine"); });
    EXPECT_EQ(out, logger.getMessage("fine", LoggerLevels::Custom, __FILE__, __LINE__ - 1) + "\n"); // the caller's
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(logger.logMessageAndAssert([] { return false; }, "broken"), "assertion failed: broken \\[.*Test.cpp:");
    for (const int raw : {-1, 0, 5, 6})
        EXPECT_EQ(loggerLevelFromRawValue(raw).has_value(), raw == 0 || raw == 5) << raw;
}

} // namespace
