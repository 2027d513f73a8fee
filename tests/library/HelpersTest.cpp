#include "TavrelUtils.h"
#include "Testing.h"

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
    for (const auto &[path, cause] : failures) {
        const std::string out =
            capturedOutput([&] { EXPECT_FALSE(TavrelUtils::deleteFile(QUrl::fromLocalFile(path))); });
        EXPECT_EQ(out, "Ooops! Something went wrong: " + cause + " (" + path.toStdString() + ")\n");
    }
    EXPECT_TRUE(TavrelUtils::deleteFile(list)); // a folder goes with its contents
    EXPECT_FALSE(QFileInfo::exists(home.file("list")));
}

} // namespace
