#include "MediaInfoJson.h"
#include "TavrelUtils.h"
#include "Testing.h"

#include <QJsonDocument>
#include <QProcess>

namespace {

using Info = TavrelUtils::MediaFileInfo;

// Clips made with Debian's ffmpeg for this run.
class MediaInfoTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        writeFile(path("meta.txt"), ";FFMETADATA1\ntitle=News at ten\ncomment=\n");
        const QString video = "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 ";
        const std::pair<QString, QString> clips[] = {
            {"clip.mpeg", video + "-f lavfi -i sine=frequency=440:duration=2 -c:v mpeg2video -c:a mp2 -f vob"},
            {"clip.mxf", video + "-f lavfi -i sine=sample_rate=48000:duration=2 -c:v mpeg2video -c:a pcm_s16le -f mxf"},
            {"audio.wav", "-f lavfi -i sine=sample_rate=10000:duration=12.3456 -c:a pcm_s16le"},
            {"audio.mp3", "-f lavfi -i sine=sample_rate=44100:duration=2.5 -c:a libmp3lame"},
            {"video.mp4", "-f lavfi -i testsrc=size=320x240:rate=25:duration=10 -c:v mpeg4"},
            {"portrait.mp4", "-i video.mp4 -c copy -metadata:s:v:0 rotate=90"},
            {"meta.mkv", video + "-i meta.txt -map 0 -map_metadata 1 -c:v mpeg4"},
        };
        made = true;
        for (const auto &[name, arguments] : clips) {
            QProcess ffmpeg;
            ffmpeg.setWorkingDirectory(folder->path()); // so the arguments hold no path
            ffmpeg.start("ffmpeg", QStringList{"-v", "error", "-y"} + arguments.split(' ') + QStringList{name});
            made = made && ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
        }
        QFile::copy(path("clip.mxf"), path("name.part.mxf"));
    }
    static void TearDownTestSuite() { folder.reset(); }

    static QString path(const QString &name) { return QDir(folder->path()).filePath(name); }
    static QUrl url(const QString &name) { return QUrl::fromLocalFile(path(name)); }
    static Info info(const QString &name) { return TavrelUtils::getFileMediaInfo(url(name)); }

    void SetUp() override { ASSERT_TRUE(made); }

    static std::unique_ptr<QTemporaryDir> folder;
    static bool made;
    TestHome home;
    DoubledServices services;
};

std::unique_ptr<QTemporaryDir> MediaInfoTest::folder;
bool MediaInfoTest::made = false;

// What the inspection found in the media, in one line.
std::string media(const Info &i)
{
    return QString("playable=%1 video=%2 audio=%3 ms=%4 fps=%5 frames=%6 channels=%7 rate=%8 samples=%9 meta=%10")
        .arg(int(i.isPlayable))
        .arg(int(i.hasVideo))
        .arg(int(i.hasAudio))
        .arg(i.lengthInMs)
        .arg(double(i.frameRate))
        .arg(i.frameCount)
        .arg(i.audioNumberOfChannels)
        .arg(i.audioSampleRate)
        .arg(i.audioLength)
        .arg(i.commonMetaData.size())
        .toStdString();
}
const std::string kNoMedia = "playable=0 video=0 audio=0 ms=0 fps=-1 frames=-1 channels=0 rate=0 samples=0 meta=0";

TEST_F(MediaInfoTest, ClipsWithPictureAndSound)
{
    for (const QString &name : {QString("clip.mpeg"), QString("clip.mxf")}) {
        const Info i = info(name);
        EXPECT_TRUE(i.urlExists && i.isPlayable && i.hasVideo && i.hasAudio) << name.toStdString();
        EXPECT_EQ(std::tie(i.urlName, i.urlType, i.urlPath, i.shortFileName),
                  std::make_tuple(url(name), TavrelUtils::FileTypeRegular, folder->path(), name));
        EXPECT_EQ(i.urlSize, quint64(QFileInfo(path(name)).size()));
        EXPECT_NEAR(double(i.lengthInMs), 2000.0, 60.0) << name.toStdString();
        EXPECT_FLOAT_EQ(i.frameRate, 25.0f);
        EXPECT_NEAR(double(i.frameCount), 50.0, 2.0);
        EXPECT_EQ(i.audioNumberOfChannels, 1);
        EXPECT_NEAR(double(i.audioLength), 2.0 * i.audioSampleRate, i.audioSampleRate * 0.06);
    }
    EXPECT_EQ(info("clip.mxf").audioSampleRate, 48000.0);
}

TEST_F(MediaInfoTest, LengthsAreExactTruncatedAndDecoded)
{
    // 12.3456 s of sound: truncated rather than rounded.
    EXPECT_EQ(media(info("audio.wav")),
              "playable=1 video=0 audio=1 ms=12345 fps=-1 frames=-1 channels=1 rate=10000 samples=123456 meta=1");
    EXPECT_EQ(TavrelUtils().getLengthVideo(url("audio.wav")), std::make_pair(qint64(12345), true));
    EXPECT_FALSE(TavrelUtils::resolutionSizeForLocalVideo(url("audio.wav")));
    EXPECT_EQ(media(info("video.mp4")),
              "playable=1 video=1 audio=0 ms=10000 fps=25 frames=250 channels=0 rate=0 samples=0 meta=1");
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("video.mp4")), QSizeF(320, 240));
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("portrait.mp4")), QSizeF(240, 320)); // as displayed
    EXPECT_EQ(info("audio.mp3").audioLength, 110250); // decoded frames, not the encoder's padding
}

TEST_F(MediaInfoTest, MetadataPassesThroughOneItemPerMap)
{
    const Info i = info("meta.mkv");
    ASSERT_GE(i.commonMetaData.size(), 2u);
    EXPECT_EQ(i.commonMetaData[0], (std::map<QString, QString>{{"title", "News at ten"}}));
    EXPECT_EQ(i.commonMetaData[1], (std::map<QString, QString>{{"COMMENT", ""}})); // empty counts as a value
    EXPECT_TRUE(info("clip.mxf").commonMetaData.empty()); // an MXF's UIDs and versions are no common keys
}

TEST_F(MediaInfoTest, NamesAndPlacesOfALocation)
{
    Info i = info("name.part.mxf");
    EXPECT_EQ(std::tie(i.urlExtenstion, i.shortFileName), std::make_tuple("mxf", "name.part.mxf"));
    i = info("missing.mpeg"); // nothing at all
    EXPECT_EQ(std::tie(i.urlType, i.urlExists, i.urlSize, i.shortFileName), std::make_tuple("", false, 0u, ""));
    EXPECT_FALSE(i.urlName);
    EXPECT_EQ(media(i), kNoMedia);
    EXPECT_EQ(TavrelUtils().getLengthVideo(url("missing.mpeg")), std::make_pair(qint64(-1), false));
}

TEST_F(MediaInfoTest, BadFilesGiveTheFileFactsOnlyAndNeverHang)
{
    writeFile(path("empty.mxf"), "");
    writeFile(path("garbage.mpeg"), QByteArray(100000, '\x5a'));
    writeFile(path("truncated.mpeg"), readFile(path("clip.mpeg")).left(3000));
    QDir(folder->path()).mkdir("folder.mxf");
    ::mkfifo(QFile::encodeName(path("pipe.mpeg")).constData(), 0600);
    const int sparse = ::open(QFile::encodeName(path("sparse.mpeg")).constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(::ftruncate(sparse, off_t(8) << 30), 0); // 8 GiB of nothing
    ::close(sparse);

    for (const QString &name : {QString("empty.mxf"), QString("garbage.mpeg"), QString("folder.mxf"),
                                QString("pipe.mpeg"), QString("sparse.mpeg")}) {
        const Info i = info(name);
        EXPECT_TRUE(i.urlExists) << name.toStdString();
        EXPECT_EQ(media(i), kNoMedia) << name.toStdString();
        EXPECT_EQ(TavrelUtils().getLengthVideo(url(name)), std::make_pair(qint64(-1), false)) << name.toStdString();
        EXPECT_FALSE(TavrelUtils::resolutionSizeForLocalVideo(url(name)));
    }
    EXPECT_EQ(info("pipe.mpeg").urlType, TavrelUtils::FileTypeNamedPipe);
    EXPECT_EQ(info("sparse.mpeg").urlSize, quint64(8) << 30);
    const Info truncated = info("truncated.mpeg"); // whatever survives, nothing breaks
    EXPECT_TRUE(truncated.urlExists);
}

TEST_F(MediaInfoTest, TheToolPrintsWhatTheLibraryFindsOneLineAFile)
{
    QProcess tool;
    tool.setWorkingDirectory(folder->path()); // names are taken from where it runs
    tool.start(ZU_MEDIAINFO_TOOL, {"clip.mxf", "missing.mpeg"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    ASSERT_EQ(lines.size(), 3) << lines.join('|').constData();
    EXPECT_EQ(QJsonDocument::fromJson(lines[0]).object(), toJson(info("clip.mxf")));
    EXPECT_EQ(QJsonDocument::fromJson(lines[1]).object(), toJson(info("missing.mpeg")));
    tool.start(ZU_MEDIAINFO_TOOL, QStringList());
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 2);
}

} // namespace
