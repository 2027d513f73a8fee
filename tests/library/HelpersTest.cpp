#include "TavrelExtensions.h"
#include "TavrelUtils.h"
#include "Testing.h"

namespace {

using namespace TavrelExtensions;

class HelpersTest : public testing::Test {
protected:
    void SetUp() override
    {
        writeFile(home.file("list/a.mpeg"), "a");
        writeFile(home.file("list/.hidden"), "h");
        QDir().mkpath(home.file("list/sub"));
    }
    QUrl list() const { return QUrl::fromLocalFile(home.file("list")); }
    static QStringList names(const std::vector<QUrl> &urls)
    {
        QStringList out;
        for (const QUrl &u : urls)
            out << u.fileName();
        out.sort();
        return out;
    }

    TestHome home;
    DoubledServices services;
};

TEST_F(HelpersTest, FileChecksListingsAndTheCausesDeleteFilePrints)
{
    const QUrl file = QUrl::fromLocalFile(home.file("list/a.mpeg"));
    EXPECT_TRUE(TavrelUtils::DirectoryExists(list()) && !TavrelUtils::DirectoryExists(file));
    EXPECT_EQ(TavrelUtils::getFileAttributes(file).value(TavrelUtils::FileSizeKey).toULongLong(), 1u);
    EXPECT_EQ(names(TavrelUtils::getFileListFromDirectory(list())), (QStringList{".hidden", "a.mpeg", "sub"}));
    const auto files = TavrelUtils::getFileListFromDirectory(list(), TavrelUtils::kSkipSubDirectories);
    ASSERT_EQ(files.size(), 1u); // no hidden entries, no folders
    EXPECT_EQ(std::make_pair(files[0].shortName, files[0].fullName), std::make_pair(QString("a.mpeg"), file));
    EXPECT_EQ(names(subdirectories(list())), QStringList{"sub"});

    QFile::link("loop", home.file("loop"));
    const std::pair<QString, std::string> failures[] = {
        {home.file("nothing"), "No such file or directory"},
        {home.file("loop/clip.mpeg"), "Too many levels of symbolic links"},
        {home.file(QString(300, 'n')), "File name too long"},
        {home.file("list/a.mpeg/x"), "Not a directory"},
    };
    for (const auto &[path, cause] : failures) {
        const std::string out =
            capturedOutput([&] { EXPECT_FALSE(TavrelUtils::deleteFile(QUrl::fromLocalFile(path))); });
        EXPECT_EQ(out.rfind("Ooops! Something went wrong: " + cause, 0), 0u) << out;
        EXPECT_EQ(occurrences(out, "\n"), 1);
    }
    EXPECT_TRUE(TavrelUtils::deleteFile(list())); // a folder goes with its contents
    EXPECT_FALSE(QFileInfo::exists(home.file("list")));

    EXPECT_TRUE(createSubFolderAt("News", platform::DirectoryKind::Documents));
    EXPECT_TRUE(QFileInfo(home.documents() + "/News").isDir());
    const std::string out =
        capturedOutput([] { EXPECT_FALSE(createSubFolderAt("News", platform::DirectoryKind::Documents)); });
    EXPECT_NE(out.find("File exists"), std::string::npos) << out;
}

TEST(TextHelpers, BlanksPathComponentsAndExtensions)
{
    for (const char *blank : {"", " ", "  \n", "\t\r\n\t"})
        EXPECT_TRUE(isEmpty(blank)) << blank;
    EXPECT_FALSE(isEmpty(" a "));
    using Three = std::array<QString, 3>; // path, what is appended, the result ("-" for none)
    for (const auto &[path, part, joined] : {Three{"a", "b", "a/b"}, Three{"a/", "b", "a/b"}, Three{"a", "/b", "a/b"},
                                             Three{"/", "b", "/b"}, Three{"", "b", "b"}, Three{"/x/y", "b/", "/x/y/b"}})
        EXPECT_EQ(stringByAppendingPathComponent(path, part), joined) << path.toStdString();
    // Trailing separators go, as the platform's rule strips them.
    for (const auto &[path, extension, result] :
         {Three{"clip", "mpeg", "clip.mpeg"}, Three{"/a/clip.part", "mxf", "/a/clip.part.mxf"},
          Three{"/a/b/", "tiff", "/a/b.tiff"}, Three{"/a//", "tiff", "/a.tiff"}, Three{"a~", "tiff", "a~.tiff"},
          Three{"clip", "a b", "clip.a b"}, Three{"", "mpeg", "-"}, Three{"/", "mpeg", "-"}, Three{"//", "mpeg", "-"},
          Three{"~", "mpeg", "-"}, Three{"~/", "mpeg", "-"}, Three{"clip", "/mpeg", "-"}})
        EXPECT_EQ(stringByAppendingPathExtension(path, extension).value_or("-"), result) << path.toStdString();
}

TEST(DateHelpers, ZonesByAbbreviation)
{
    // The user's own zone: now, without its fraction of a second.
    const QString own = QDateTime::currentDateTime().timeZoneAbbreviation();
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime local = getLocalDate(own);
    EXPECT_EQ(local.time().msec(), 0);
    EXPECT_LE(std::llabs(before.secsTo(local)), 2);

    // Unknown: the zone stays unset, so the same.
    EXPECT_LE(std::llabs(QDateTime::currentDateTime().secsTo(getLocalDate("QQQX"))), 2);

    // Ambiguous abbreviations go to their best-known zone.
    EXPECT_EQ(timeZoneForAbbreviation("CST")->id(), "America/Chicago");
    EXPECT_EQ(timeZoneForAbbreviation("IST")->id(), "Asia/Kolkata");
    EXPECT_FALSE(timeZoneForAbbreviation(""));
    // Whoever asks, wherever they are.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Asia/Shanghai");
    EXPECT_EQ(timeZoneForAbbreviation("CST")->id(), "America/Chicago");
    qputenv("TZ", zone);

    // Same wall clock, other zone: UTC clocks show our time later (or earlier) by our offset.
    const QDateTime utc = getLocalDate("UTC");
    const QDateTime here = getLocalDate("QQQX");
    EXPECT_LE(std::llabs(here.secsTo(utc) - here.offsetFromUtc()), 2);
}

} // namespace
