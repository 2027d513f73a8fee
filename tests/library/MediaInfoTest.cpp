#include "Doubles.h"
#include "EventLoop.h"
#include "TavrelUtils.h"
#include "TestHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Info = TavrelUtils::MediaFileInfo;

// Clips made with Debian's ffmpeg for this run.
class MediaInfoTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        const QString video = "testsrc=size=320x240:rate=25:duration=2";
        writeFile(path("meta.txt"), ";FFMETADATA1\ntitle=News at ten\ncomment=\n");
        made = make({"-f", "lavfi", "-i", video, "-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:v",
                     "mpeg2video", "-c:a", "mp2", "-f", "vob", path("clip.mpeg")}) &&
               make({"-f", "lavfi", "-i", video, "-f", "lavfi", "-i", "sine=sample_rate=48000:duration=2", "-c:v",
                     "mpeg2video", "-c:a", "pcm_s16le", "-f", "mxf", path("clip.mxf")}) &&
               make({"-f", "lavfi", "-i", "sine=sample_rate=10000:duration=12.3456", "-c:a", "pcm_s16le",
                     path("audio.wav")}) &&
               make({"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=2.5", "-c:a", "libmp3lame",
                     path("audio.mp3")}) &&
               make({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=10", "-c:v", "mpeg4",
                     path("video.mp4")}) &&
               make({"-i", path("video.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=90", path("portrait.mp4")}) &&
               make({"-f", "lavfi", "-i", video, "-i", path("meta.txt"), "-map", "0", "-map_metadata", "1", "-c:v",
                     "mpeg4", path("meta.mkv")});
        QFile::copy(path("clip.mxf"), path("name.part.mxf"));
    }
    static void TearDownTestSuite() { folder.reset(); }

    static bool make(const QStringList &arguments)
    {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", QStringList{"-v", "error", "-y"} + arguments);
        return ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
    }
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

void expectUntouchedMedia(const Info &i)
{
    EXPECT_FALSE(i.isPlayable);
    EXPECT_EQ(i.lengthInMs, 0);
    EXPECT_EQ(i.frameRate, -1.0f);
    EXPECT_EQ(i.frameCount, -1);
    EXPECT_FALSE(i.hasAudio);
    EXPECT_FALSE(i.hasVideo);
    EXPECT_EQ(i.audioNumberOfChannels, 0);
    EXPECT_TRUE(i.commonMetaData.empty());
}

TEST_F(MediaInfoTest, ClipsWithPictureAndSound)
{
    for (const QString &name : {QString("clip.mpeg"), QString("clip.mxf")}) {
        const Info i = info(name);
        EXPECT_TRUE(i.urlExists);
        EXPECT_EQ(i.urlName, url(name));
        EXPECT_EQ(i.urlSize, quint64(QFileInfo(path(name)).size()));
        EXPECT_EQ(i.urlType, TavrelUtils::FileTypeRegular);
        EXPECT_EQ(i.urlPath, folder->path());
        EXPECT_EQ(i.shortFileName, name);
        EXPECT_TRUE(i.isPlayable && i.hasVideo && i.hasAudio);
        EXPECT_NEAR(double(i.lengthInMs), 2000.0, 60.0) << name.toStdString();
        EXPECT_FLOAT_EQ(i.frameRate, 25.0f);
        EXPECT_NEAR(double(i.frameCount), 50.0, 2.0);
        EXPECT_EQ(i.audioNumberOfChannels, 1);
        EXPECT_GT(i.audioSampleRate, 0);
        EXPECT_NEAR(double(i.audioLength), 2.0 * i.audioSampleRate, i.audioSampleRate * 0.06);
    }
    EXPECT_EQ(info("clip.mxf").audioSampleRate, 48000.0);
}

TEST_F(MediaInfoTest, AudioOnlyIsExactAndTruncated)
{
    const Info i = info("audio.wav");
    EXPECT_TRUE(i.hasAudio);
    EXPECT_FALSE(i.hasVideo);
    EXPECT_EQ(i.lengthInMs, 12345); // 12.3456 s, truncated rather than rounded
    EXPECT_EQ(i.audioLength, 123456);
    EXPECT_EQ(i.audioSampleRate, 10000.0);
    EXPECT_EQ(i.audioNumberOfChannels, 1);
    EXPECT_EQ(i.frameRate, -1.0f);
    EXPECT_EQ(i.frameCount, -1);
    EXPECT_FALSE(TavrelUtils::resolutionSizeForLocalVideo(url("audio.wav")));
    EXPECT_EQ(TavrelUtils().getLengthVideo(url("audio.wav")), std::make_pair(qint64(12345), true));
}

TEST_F(MediaInfoTest, VideoOnlyCountsItsFrames)
{
    const Info i = info("video.mp4");
    EXPECT_TRUE(i.hasVideo);
    EXPECT_FALSE(i.hasAudio);
    EXPECT_EQ(i.frameCount, 250);
    EXPECT_EQ(i.lengthInMs, 10000);
    EXPECT_EQ(i.audioNumberOfChannels, 0);
    EXPECT_EQ(i.audioLength, 0);
    EXPECT_EQ(i.audioSampleRate, 0.0);
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("video.mp4")), QSizeF(320, 240));
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("portrait.mp4")), QSizeF(240, 320)); // as displayed
}

TEST_F(MediaInfoTest, MetadataPassesThroughOneItemPerMapAndLengthsAreDecoded)
{
    const Info i = info("meta.mkv");
    ASSERT_GE(i.commonMetaData.size(), 2u);
    EXPECT_EQ(i.commonMetaData[0], (std::map<QString, QString>{{"title", "News at ten"}}));
    EXPECT_EQ(i.commonMetaData[1], (std::map<QString, QString>{{"COMMENT", ""}})); // empty counts as a value
    EXPECT_TRUE(info("clip.mxf").commonMetaData.empty()); // an MXF's UIDs and versions are no common keys
    EXPECT_EQ(info("audio.mp3").audioLength, 110250);     // decoded frames, not the encoder's padding
}

TEST_F(MediaInfoTest, NamesAndPlacesOfALocation)
{
    Info i = info("name.part.mxf");
    EXPECT_EQ(i.urlExtenstion, "mxf");
    EXPECT_EQ(i.shortFileName, "name.part.mxf");

    QDir(folder->path()).mkdir("folder.mxf");
    i = TavrelUtils::getFileMediaInfo(QUrl::fromLocalFile(path("folder.mxf") + "/"));
    EXPECT_EQ(i.shortFileName, "folder.mxf");
    EXPECT_EQ(i.urlPath, folder->path());

    // Not a file location: its type only.
    i = TavrelUtils::getFileMediaInfo(QUrl("https://news.example" + path("clip.mpeg")));
    EXPECT_EQ(i.urlType, TavrelUtils::FileTypeRegular);
    EXPECT_FALSE(i.urlExists);
    EXPECT_EQ(i.urlSize, 0u);
    EXPECT_EQ(i.shortFileName, "");
    expectUntouchedMedia(i);
}

TEST_F(MediaInfoTest, AMissingFileKeepsEveryInitialValue)
{
    const Info i = info("missing.mpeg");
    EXPECT_FALSE(i.urlExists);
    EXPECT_FALSE(i.urlName);
    EXPECT_EQ(i.urlSize, 0u);
    EXPECT_EQ(i.urlType, "");
    EXPECT_EQ(i.shortFileName, "");
    expectUntouchedMedia(i);
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

    QElapsedTimer clock;
    clock.start();
    for (const QString &name : {QString("empty.mxf"), QString("garbage.mpeg"), QString("folder.mxf"),
                                QString("pipe.mpeg"), QString("sparse.mpeg")}) {
        const Info i = info(name);
        EXPECT_TRUE(i.urlExists) << name.toStdString();
        expectUntouchedMedia(i);
        EXPECT_EQ(TavrelUtils().getLengthVideo(url(name)), std::make_pair(qint64(-1), false)) << name.toStdString();
        EXPECT_FALSE(TavrelUtils::resolutionSizeForLocalVideo(url(name)));
    }
    EXPECT_EQ(info("pipe.mpeg").urlType, TavrelUtils::FileTypeNamedPipe);
    EXPECT_EQ(info("sparse.mpeg").urlSize, quint64(8) << 30);
    const Info devNull = TavrelUtils::getFileMediaInfo(QUrl::fromLocalFile("/dev/null"));
    EXPECT_EQ(devNull.urlType, TavrelUtils::FileTypeCharacterSpecial);
    expectUntouchedMedia(devNull);
    const Info truncated = info("truncated.mpeg"); // whatever survives, nothing breaks
    EXPECT_TRUE(truncated.urlExists);
    EXPECT_LT(clock.elapsed(), 60000);
}

} // namespace
