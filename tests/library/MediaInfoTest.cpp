#include "MediaInfoJson.h"
#include "TavrelUtils.h"
#include "Testing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <dlfcn.h>
extern "C" {
#include <libavutil/log.h>
}

// FFmpeg out of memory where a case asks for it: this definition stands in
// for the library's, for us and for the clip-check module alike.
struct AVFormatContext;
namespace {
bool noContexts = false;
}
extern "C" AVFormatContext *avformat_alloc_context()
{
    static const auto real = reinterpret_cast<AVFormatContext *(*)()>(dlsym(RTLD_NEXT, "avformat_alloc_context"));
    return noContexts ? nullptr : real();
}

namespace {

using Info = TavrelUtils::MediaFileInfo;

// Clips made with Debian's ffmpeg for this run.
class MediaInfoTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/news clips-XXXXXX"); // a name to spell out
        const QString video = "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 ";
        const std::pair<QString, QString> clips[] = {
            {"clip.mpeg", video + "-f lavfi -i sine=frequency=440:duration=2 -c:v mpeg2video -c:a mp2 -f vob"},
            {"clip.mxf", video + "-f lavfi -i sine=sample_rate=48000:duration=2 -c:v mpeg2video -c:a pcm_s16le -f mxf"},
            {"sound.mp3", "-f lavfi -i sine=sample_rate=44100:duration=2.5007 -c:a libmp3lame"},
            {"sound.wma", "-f lavfi -i sine=sample_rate=48000:duration=2 -c:a wmav2"}, // its decoder holds frames
            {"clip.mkv", video + "-f lavfi -i sine=sample_rate=48000:duration=2 -c:v mpeg2video -c:a libvorbis "
                                 "-metadata title=Noon -metadata TRANSLATOR=x"},
            {"plain.mp4", video + "-c:v mpeg4"},
            {"two.mkv", video + "-f lavfi -i testsrc=size=160x120:rate=10:duration=2 -map 0 -map 1 -c:v mpeg4"},
            {"bare.m2v", video + "-c:v mpeg2video -f mpeg2video"}, // no container: its length is measured
            // No length in it either, and its picture and sound on different clocks.
            {"clip.swf", "-f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i sine=duration=1 -c:v flv "
                         "-c:a libmp3lame -f swf"},
            {"raw.mjpeg", video + "-c:v mjpeg -f mjpeg"},                     // a stream that tells no length
            {"turned.mp4", "-i plain.mp4 -c copy -metadata:s:v:0 rotate=90"}, // filmed upright
            {"tilted.mp4", "-i plain.mp4 -c copy -metadata:s:v:0 rotate=45"}, // the transform as it is, made positive
            {"cover.mp3", "-f lavfi -i sine=duration=1 -f lavfi -i testsrc=size=64x64:duration=0.04 -map 0 -map 1 "
                          "-c:v mjpeg -disposition:v attached_pic"},
        };
        made = true;
        for (const auto &[name, arguments] : clips) {
            QProcess ffmpeg;
            ffmpeg.setWorkingDirectory(folder->path()); // so the arguments hold no path
            ffmpeg.start("ffmpeg", QStringList{"-v", "error", "-y"} + arguments.split(' ') + QStringList{name});
            made = made && ffmpeg.waitForFinished(120000) && ffmpeg.exitCode() == 0;
        }
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

// What the inspection found in the media, without the file's own facts.
std::string media(const Info &i)
{
    QJsonObject facts = toJson(i);
    for (const char *file : {"urlName", "urlExists", "urlSize", "urlType", "urlPath", "urlExtenstion", "shortFileName"})
        facts.remove(file);
    return QJsonDocument(facts).toJson(QJsonDocument::Compact).toStdString();
}
const std::string kNoMedia = R"({"audioLength":0,"audioNumberOfChannels":0,"audioSampleRate":0,"commonMetaData":[],)"
                             R"("frameCount":-1,"frameRate":-1,"hasAudio":false,"hasVideo":false,"isPlayable":false,)"
                             R"("lengthInMs":0})";

TEST_F(MediaInfoTest, ClipsWithPictureAndSound)
{
    for (const QString &name : {QString("clip.mpeg"), QString("clip.mxf")}) {
        const Info i = info(name);
        EXPECT_TRUE(i.urlExists && i.isPlayable && i.hasVideo && i.hasAudio) << name.toStdString();
        EXPECT_EQ(std::tie(i.urlName, i.urlType, i.urlPath, i.shortFileName, i.urlExtenstion),
                  std::make_tuple(url(name), TavrelUtils::FileTypeRegular, folder->path(), name, name.mid(5)));
        EXPECT_EQ(i.urlSize, quint64(QFileInfo(path(name)).size()));
        EXPECT_NEAR(double(i.lengthInMs), 2000.0, 60.0) << name.toStdString();
        EXPECT_FLOAT_EQ(i.frameRate, 25.0f);
        EXPECT_NEAR(double(i.frameCount), 50.0, 2.0);
        EXPECT_EQ(i.audioNumberOfChannels, 1);
        EXPECT_NEAR(double(i.audioLength), 2.0 * i.audioSampleRate, i.audioSampleRate * 0.06);
    }
    EXPECT_EQ(info("clip.mxf").audioSampleRate, 48000.0);
    EXPECT_FLOAT_EQ(info("two.mkv").frameRate, 25.0f); // the first picture's, of two
    EXPECT_EQ(std::make_pair(info("bare.m2v").lengthInMs, info("bare.m2v").frameCount), std::make_pair(2000LL, 50LL));
    EXPECT_EQ(info("clip.swf").lengthInMs, 3000); // the picture's three seconds, not the sound's one
    EXPECT_EQ(TavrelUtils().getLengthVideo(url("clip.mxf")), std::make_pair(info("clip.mxf").lengthInMs, true));
    EXPECT_EQ(TavrelUtils().getLengthVideo(url("raw.mjpeg")), std::make_pair(qint64(-1), false));
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("clip.mpeg")), QSizeF(320, 240));
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("turned.mp4")), QSizeF(240, 320));
    EXPECT_EQ(TavrelUtils::resolutionSizeForLocalVideo(url("tilted.mp4")), QSizeF(396, 57));
    // The clip check takes a demuxer of several names ("mov,mp4,m4a,…") as any of them.
    EXPECT_TRUE(services.clips.check(path("plain.mp4"), {"mp4"}, {}, QFileInfo(path("plain.mp4")).size()));
}

// The sample frames ffmpeg's own decoder gives for a file's first sound.
qint64 decodedByFfmpeg(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-ac", "1", "-f", "s16le", "-"});
    ffmpeg.waitForFinished(60000);
    return ffmpeg.readAllStandardOutput().size() / 2;
}

TEST_F(MediaInfoTest, TheSoundIsAsLongAsItsDecoderSays)
{
    for (const QString name : {"clip.mpeg", "clip.mkv", "sound.mp3", "sound.wma"})
        EXPECT_EQ(info(name).audioLength, decodedByFfmpeg(path(name))) << name.toStdString();
    const Info mp3 = info("sound.mp3"); // the encoder's delay and padding are no playing time
    EXPECT_EQ(mp3.audioLength, 110281);
    EXPECT_EQ(mp3.lengthInMs, 2500); // 2500.7: whole milliseconds, cut, not rounded
    // A cover is no picture to play.
    const QJsonObject cover = toJson(info("cover.mp3"));
    EXPECT_TRUE(cover["hasAudio"].toBool() && !cover["hasVideo"].toBool());
}

TEST_F(MediaInfoTest, BadFilesGiveTheFileFactsOnlyAndNeverHang)
{
    writeFile(path("empty.mxf"), "");
    writeFile(path("garbage.mpeg"), QByteArray(100000, '\x5a'));
    writeFile(path("truncated.mpeg"), readFile(path("clip.mpeg")).left(3000));
    QDir(folder->path()).mkdir("folder.mxf");
    writeFile(path("chapters.mpeg"),
              ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=5000\n"); // a length, no streams
    ::mkfifo(QFile::encodeName(path("pipe.mpeg")).constData(), 0600);
    const int sparse = ::open(QFile::encodeName(path("sparse.mpeg")).constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_EQ(::ftruncate(sparse, off_t(8) << 30), 0); // 8 GiB of nothing
    ::close(sparse);

    for (const QString &name : {QString("empty.mxf"), QString("garbage.mpeg"), QString("folder.mxf"),
                                QString("pipe.mpeg"), QString("sparse.mpeg"), QString("chapters.mpeg")}) {
        const Info i = info(name);
        EXPECT_TRUE(i.urlExists) << name.toStdString();
        EXPECT_EQ(media(i), kNoMedia) << name.toStdString();
        EXPECT_EQ(TavrelUtils().getLengthVideo(url(name)), std::make_pair(qint64(-1), false)) << name.toStdString();
        EXPECT_FALSE(TavrelUtils::resolutionSizeForLocalVideo(url(name)));
    }
    EXPECT_EQ(info("pipe.mpeg").urlType, TavrelUtils::FileTypeNamedPipe);
    EXPECT_EQ(info("sparse.mpeg").urlSize, quint64(8) << 30);
    EXPECT_TRUE(info("truncated.mpeg").urlExists); // whatever survives, nothing breaks
    EXPECT_EQ(std::make_pair(info("missing.mpeg").urlExists, media(info("missing.mpeg"))),
              std::make_pair(false, kNoMedia));
    // Checking a broken clip puts nothing of FFmpeg's on the terminal or in the session's log.
    av_log_set_level(AV_LOG_INFO);
    std::fflush(stderr);
    const int terminal = ::dup(STDERR_FILENO);
    FILE *said = std::tmpfile();
    ::dup2(::fileno(said), STDERR_FILENO);
    for (const QString name : {"garbage.mpeg", "truncated.mpeg"})
        EXPECT_FALSE(services.clips.check(path(name), {"mpeg"}, {}, QFileInfo(path(name)).size()));
    std::fflush(stderr);
    ::dup2(terminal, STDERR_FILENO);
    ::close(terminal);
    EXPECT_EQ(std::ftell(said), 0);
    std::fclose(said);
    // Where FFmpeg cannot make a context a clip is neither inspected nor taken.
    noContexts = true;
    EXPECT_EQ(media(info("clip.mxf")), kNoMedia);
    EXPECT_FALSE(services.clips.check(path("clip.mxf"), {"mxf"}, {}, QFileInfo(path("clip.mxf")).size()));
    noContexts = false;
}

TEST_F(MediaInfoTest, TheToolPrintsWhatTheLibraryFindsOneLineAFile)
{
    QProcess tool;
    tool.setWorkingDirectory(folder->path()); // names are taken from where it runs
    tool.start(ZU_MEDIAINFO_TOOL, {"clip.mxf", "missing.mpeg"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    ASSERT_EQ(lines.size(), 3) << lines.join('|').constData();
    const QJsonObject mxf = QJsonDocument::fromJson(lines[0]).object();
    const Info i = info("clip.mxf");
    EXPECT_EQ(mxf, toJson(i));
    EXPECT_EQ(QJsonDocument::fromJson(lines[1]).object(), toJson(info("missing.mpeg")));
    // The file's facts, each under its own name.
    const std::pair<const char *, QJsonValue> facts[] = {{"urlName", "file://" + path("clip.mxf")},
                                                         {"urlPath", folder->path()},
                                                         {"shortFileName", "clip.mxf"},
                                                         {"urlExtenstion", "mxf"},
                                                         {"urlSize", double(QFileInfo(path("clip.mxf")).size())}};
    for (const auto &[key, value] : facts)
        EXPECT_EQ(mxf[key], value) << key;
    EXPECT_EQ(std::make_tuple(mxf["lengthInMs"].toDouble(), mxf["frameRate"].toDouble(), mxf["frameCount"].toDouble(),
                              mxf["audioNumberOfChannels"].toDouble(), mxf["audioSampleRate"].toDouble()),
              std::make_tuple(double(i.lengthInMs), 25.0, double(i.frameCount), 1.0, 48000.0));
    const QJsonArray tags = toJson(info("clip.mkv"))["commonMetaData"].toArray(); // generic keys only
    EXPECT_TRUE(tags.contains(QJsonObject{{"title", "Noon"}}) && tags.size() == 2) << tags.size();
    tool.start(ZU_MEDIAINFO_TOOL, QStringList());
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 2);
}

} // namespace
