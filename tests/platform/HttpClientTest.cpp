#include "HttpClient.h"
#include "ClipWriter.h"
#include "CurlHttpClient.h"
#include "DownloadNames.h"
#include "DurableFile.h"
#include "Testing.h"

#include <QScopeGuard>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/statvfs.h>

namespace {
bool refuseDirect = false; // a file system that takes no direct writes
}
// Stands in for libc's, for the writer's library too.
extern "C" int fcntl(int fd, int cmd, ...)
{
    va_list arguments;
    va_start(arguments, cmd);
    const long argument = va_arg(arguments, long);
    va_end(arguments);
    if (refuseDirect && cmd == F_SETFL && (argument & O_DIRECT))
        return errno = EINVAL, -1;
    static const auto real = reinterpret_cast<int (*)(int, int, ...)>(dlsym(RTLD_NEXT, "fcntl"));
    return real(fd, cmd, argument);
}

namespace {

const QStringList kMpeg{"mpeg", "mpg", "ts"};

TEST(SuggestedFilename, TakesOnlyASafeClipName)
{
    const QString url = "https://news.example/zandor/zandor.mpeg";
    const std::pair<QByteArray, QString> cases[] = {
        {"", "zandor.mpeg"},
        {"attachment; filename=\"clip 1.mpeg\"", "clip 1.mpeg"},
        {"attachment; filename*=UTF-8''na%C3%AFve%20clip.MPG; filename=plain.mpeg", "naïve clip.MPG"},
        {"attachment; filename*=iso-8859-1'fr'caf%E9.mpeg", "café.mpeg"},
        {"attachment; filename*=koi8-r''clip.mpeg; filename=plain.mpeg", "plain.mpeg"}, // a charset we cannot read
        {"attachment; filename=\"a\\\"b.mpeg\"", "a\"b.mpeg"},
        {"attachment; private; filename=clip.ts", "clip.ts"},  // a parameter without a value
        {"attachment; filename=\"clip.mpeg\\", "zandor.mpeg"}, // cut after an escape: nothing past its end
        {"attachment; filename=\"clip.mpeg\" filename*=UTF-8''x.mpeg", "clip.mpeg"}, // no ';': not a parameter
        {"attachment; filename=\"../../x.ts\"", "x.ts"},
        // Not a clip of this form: never a name to replace.
        {"attachment; filename=notes.txt", "zandor.mpeg"},
        {"attachment; filename=clip.mxf", "zandor.mpeg"},
        {"attachment; filename=/etc/passwd", "zandor.mpeg"},
        {"attachment; filename=.bashrc.mpeg", "zandor.mpeg"},
        {"attachment; filename=\"..\"", "zandor.mpeg"},
        // Control and formatting characters go; what is left must still be a clip's name.
        {"attachment; filename*=UTF-8''a%00b.mpeg", "ab.mpeg"},
        {"attachment; filename*=UTF-8''a%0Ab%E2%81%A6.mpeg", "ab.mpeg"},
        {"attachment; filename*=UTF-8''%E2%80%AEgepm.txt", "zandor.mpeg"},
        // A file name holds 255 bytes at most, counted in UTF-8.
        {"attachment; filename=" + QByteArray(250, 'n') + ".mpeg", QString(250, 'n') + ".mpeg"},
        {"attachment; filename=" + QByteArray(251, 'n') + ".mpeg", "zandor.mpeg"},
        {"attachment; filename=" + QString(126, QChar(0xe9)).toUtf8() + ".mpeg", "zandor.mpeg"},
    };
    for (const auto &[header, name] : cases)
        EXPECT_EQ(platform::suggestedFilename(header, url, kMpeg), name) << header.constData();
    for (const QString unsafe : {"a\177b.mpeg", "a\tb.mpeg", "a\\b.mpeg", ""})
        EXPECT_FALSE(platform::isSafeFileName(unsafe)) << unsafe.toStdString();
    for (const QString bad : {"https://news.example/", "https://news.example/..%2F..", "https://news.example/.h.mpeg",
                              "https://news.example/notes.txt"})
        EXPECT_EQ(platform::suggestedFilename("attachment; filename=.x", bad, kMpeg), "") << bad.toStdString();

    // Only the partial files we make are ever cleaned away.
    for (const QString ours : {".zandor.mpeg.part-Ab12Cd", ".zandor.mxf.part-000000"})
        EXPECT_TRUE(platform::isPartialDownloadName(ours)) << ours.toStdString();
    for (const QString theirs : {".zandor.notes.part-abc123", ".zandor.mpeg.part-abc12", ".zandor.mpeg.part-abc1234",
                                 "zandor.mpeg.part-Ab12Cd", ".zandor.mpeg.part-Ab12C/"})
        EXPECT_FALSE(platform::isPartialDownloadName(theirs)) << theirs.toStdString();
}

TEST(AbandonedPartials, OnlyOursThatNobodyWritesGo)
{
    QTemporaryDir folder;
    const auto at = [&](const QString &name) { return folder.filePath(name); };
    for (const QString name : {".zandor.mpeg.part-Ab12Cd", ".zandor.mxf.part-Xy34Zw", ".zandor.mpeg.part-Zz99Zz"})
        writeFile(at(name), "left by a crash");
    // Another user's (as root only: nobody else can give a file away) and one still being written.
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(at(".zandor.mxf.part-Xy34Zw")).constData(), 65534, 65534), 0);
    }
    const int held = ::open(QFile::encodeName(at(".zandor.mpeg.part-Zz99Zz")).constData(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(platform::removeAbandonedPartialDownloads(folder.path()), geteuid() == 0 ? 1 : 2);
    EXPECT_FALSE(QFile::exists(at(".zandor.mpeg.part-Ab12Cd")));
    EXPECT_EQ(QFile::exists(at(".zandor.mxf.part-Xy34Zw")), geteuid() == 0);
    EXPECT_TRUE(QFile::exists(at(".zandor.mpeg.part-Zz99Zz")));
    ::close(held);
}

class HttpClientTest : public testing::Test {
protected:
    static void SetUpTestSuite() { servers = std::make_unique<HelperProcess>(QStringList{"servers"}); }
    static void TearDownTestSuite() { servers.reset(); }
    void SetUp() override { ASSERT_TRUE(servers->ok()); }

    // Into a file of its own, stored as "stored.mpeg" once it arrived whole.
    platform::HttpRequest request(const QString &path)
    {
        auto created = platform::PartialFile::create(folder.path(), "zandor.mpeg");
        EXPECT_TRUE(created) << created.why().toStdString();
        auto file = std::make_shared<platform::PartialFile>(std::move(*created));
        partials[file->fd()] = file;
        platform::HttpRequest request;
        request.url = (*servers)["faults"] + path;
        request.fd = file->fd();
        request.arrived = [file = file.get()](const platform::Delivery &) { return file->store("stored.mpeg"); };
        request.folder = folder.path();
        request.caFile = (*servers)["ca"];
        return request;
    }
    platform::HttpResult fetch(const platform::HttpRequest &request)
    {
        std::optional<platform::HttpResult> result;
        client.download(
            request,
            [&](std::int64_t, std::int64_t received, std::int64_t expected) {
                progress.emplace_back(received, expected);
            },
            [&](const platform::HttpResult &r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, 30000));
        partials.erase(request.fd); // as its owner would once told
        return result.value_or(platform::HttpResult{});
    }
    platform::HttpResult fetch(const QString &path) { return fetch(request(path)); }
    bool folderIsEmpty() const
    {
        return QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    inline static std::unique_ptr<HelperProcess> servers;
    QTemporaryDir folder;
    platform::CurlHttpClient client;
    std::map<int, std::shared_ptr<platform::PartialFile>> partials; // by descriptor
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
};

TEST_F(HttpClientTest, SilenceASlowRateAndTheDeadlineEachEndATransferButSlownessAloneDoesNot)
{
    auto stalled = request("/stall?for=6");
    stalled.idleTimeout = std::chrono::seconds(1);
    auto slow = request("/trickle?n=200&every=0.05"); // 20 bytes a second for 10 s
    slow.minimumRate = 100;
    slow.rateWindow = std::chrono::seconds(2);
    auto late = request("/trickle?n=200&every=0.05");
    late.deadline = std::chrono::seconds(2);
    const std::pair<platform::HttpRequest, QString> cases[] = {
        {stalled, "No data from the server for 1 seconds"},
        {slow, "Operation too slow. Less than 100 bytes/sec transferred the last 2 seconds"},
        {late, "Operation timed out after "}, // about 2000 ms: curl may say 1999
    };
    for (const auto &[r, why] : cases) {
        const auto result = fetch(r);
        ASSERT_TRUE(result.response) << r.url.toStdString();
        EXPECT_EQ(result.response->statusCode, 200);
        EXPECT_TRUE(result.error && result.error->startsWith(why)) << result.error.value_or("").toStdString();
        EXPECT_TRUE(result.storedPath.isEmpty());
    }
    auto within = request("/trickle?n=30&every=0.1"); // slow, but never silent for long
    within.idleTimeout = std::chrono::seconds(1);
    const auto result = fetch(within);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(result.storedPath, folder.filePath("stored.mpeg"));
    EXPECT_EQ(readFile(result.storedPath), QByteArray(30, 't'));
}

// Only a 200 brings a clip: a proxy's 203 page is as much no clip as an error page.
TEST_F(HttpClientTest, OnlyTheBodyOfA200IsEverWritten)
{
    for (const char *status : {"/status/500", "/status/203"}) {
        const auto page = request(status);
        std::optional<platform::HttpResult> result;
        client.download(page, {}, [&](const platform::HttpResult &r) { result = r; });
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        struct stat st {};
        EXPECT_TRUE(::fstat(page.fd, &st) == 0 && st.st_size == 0) << status << ": " << st.st_size;
    }
}

TEST(DiskReserve, FivePercentOrOneGibibyteWhicheverIsLess)
{
    constexpr std::int64_t GiB = std::int64_t(1) << 30;
    EXPECT_EQ(platform::diskReserve(10 * GiB), GiB / 2);
    EXPECT_EQ(platform::diskReserve(20 * GiB), GiB);
    EXPECT_EQ(platform::diskReserve(500 * GiB), GiB);
}

TEST_F(HttpClientTest, AnEndlessBodyStopsBeforeTheDiskFills)
{
    struct statvfs disk {};
    ASSERT_EQ(statvfs(QFile::encodeName(folder.path()).constData(), &disk), 0);
    const std::int64_t free = std::int64_t(disk.f_bavail) * std::int64_t(disk.f_frsize);
    auto endless = request("/endless");
    endless.keepFree = free - (64 << 20); // room for 64 MiB
    const auto result = fetch(endless);
    EXPECT_EQ(result.error, "Not enough free disk space for the clip in " + folder.path());
    EXPECT_TRUE(folderIsEmpty());
    ASSERT_FALSE(progress.empty());
    EXPECT_LE(progress.back().first, 96 << 20); // 64 MiB, give or take what others write meanwhile
    EXPECT_GT(progress.back().first, 32 << 20); // the rest of the disk is not given away either
}

TEST_F(HttpClientTest, ProgressIsReportedOnlyWhileABodyArrives)
{
    const auto result = fetch("/big?size=5000000");
    EXPECT_FALSE(result.error);
    ASSERT_GE(progress.size(), 4u);
    EXPECT_LT(progress.front().first, 1 << 20); // the first bytes are told at once, not a MiB later
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_GT(progress[i].first, progress[i - 1].first);
    EXPECT_EQ(progress.back(), std::make_pair(std::int64_t(5000000), std::int64_t(5000000)));
    QByteArray expected;
    for (int i = 0; i < 5000000; ++i)
        expected += char(i % 251);
    EXPECT_TRUE(readFile(result.storedPath) == expected); // every block in its place
    progress.clear();
    EXPECT_FALSE(fetch("/empty").error);
    EXPECT_TRUE(progress.empty());
}

TEST(LazyClipChecker, WithoutItsModuleEvenAnUnpreparedCheckSaysWhy)
{
    platform::LazyClipChecker clips; // no module beside the test program; an empty body brings no prepare()
    const QString why = clips.check("/none.mpeg", {"mpeg"}, "video/mpeg", 0).why();
    EXPECT_TRUE(why.startsWith("The clip check could not be loaded: ") && why.contains("libzandorupdate-clipcheck.so"))
        << why.toStdString();
}

// The warm-up a minute before the hour: the module loaded and its worker waiting.
TEST(LazyHttpClient, TheWarmUpStartsTheTransferWorker)
{
    const auto threads = [] {
        QStringList names;
        for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            names << readFile("/proc/self/task/" + task + "/comm").trimmed();
        return names;
    };
    platform::LazyHttpClient http(QStringList{ZU_HTTPS_MODULE_DIR});
    EXPECT_FALSE(threads().contains("zandor-https"));
    http.prepare();
    EXPECT_TRUE(waitUntil([&] { return threads().contains("zandor-https"); })); // it names itself as it starts
}

TEST_F(HttpClientTest, CredentialsNeverFollowARedirectToAnotherHost)
{
    auto redirected = request("/redirect-other-host");
    redirected.user = "user";
    redirected.password = "secret";
    EXPECT_EQ(readFile(fetch(redirected).storedPath), "none");
}

TEST_F(HttpClientTest, TheEmptyPostCarriesNoHeadersOfItsOwn)
{
    const auto result = fetch("/headers");
    ASSERT_FALSE(result.error);
    const QByteArray names = readFile(result.storedPath);
    EXPECT_TRUE(names.contains("authorization\n")) << names.constData();
    EXPECT_FALSE(names.contains("content-type")) << names.constData();
    EXPECT_FALSE(names.contains("expect")) << names.constData();
}

// Blocks come faster than the disk takes them (the bytes are ready before
// the first goes in): each waits its turn, and the file holds every byte, in
// order, whether the file system takes direct writes or not. A producer never
// woken for room hangs: the alarm ends that.
TEST(ClipWriter, ABurstFasterThanTheDiskIsWrittenWholeAndInOrder)
{
    QByteArray sent(96 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < sent.size(); ++i)
        sent[i] = char(i % 251);           // no stretch like another
    const qsizetype chunk = (1 << 20) + 7; // never a whole block
    ::alarm(60);
    const auto disarm = qScopeGuard([] {
        ::alarm(0); // a failed assertion must not end a later test
        refuseDirect = false;
    });
    for (const bool refused : {false, true}) {
        refuseDirect = refused;
        TestHome home;
        const QString path = home.file("burst");
        const platform::Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        {
            platform::ClipWriter writer(fd.get());
            ASSERT_TRUE(writer.append(sent.constData(), 100));
            EXPECT_EQ(writer.queued(), 100) << "the block being filled is pending too";
            for (qsizetype at = 100; at < sent.size(); at += chunk)
                ASSERT_TRUE(writer.append(sent.constData() + at, std::size_t(std::min(chunk, sent.size() - at))));
            ASSERT_TRUE(writer.finish());
        }
        // Whole blocks went straight to the disk where it takes that: nothing of
        // them stays in the page cache. Else the last two 16 MiB windows at most.
        const bool takesDirect =
            !refused &&
            platform::Descriptor(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECT)).get() >= 0;
        void *mapped = ::mmap(nullptr, std::size_t(sent.size()), PROT_READ, MAP_SHARED, fd.get(), 0);
        std::vector<unsigned char> pages(std::size_t(sent.size()) / 4096);
        ASSERT_EQ(::mincore(mapped, std::size_t(sent.size()), pages.data()), 0);
        ::munmap(mapped, std::size_t(sent.size()));
        const auto cached = std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; });
        EXPECT_EQ(cached < 1024, takesDirect) << refused;
        EXPECT_LE(cached, 2 * 4096 + 1024) << refused;
        const QByteArray written = readFile(path);
        ASSERT_EQ(written.size(), sent.size());
        EXPECT_EQ(std::mismatch(written.begin(), written.end(), sent.begin()).first - written.begin(), written.size())
            << "the first byte that differs";
    }
}

// A writeback that fails while the clip still streams in is reported once,
// by the flush that met it: the writer must keep it for its end.
TEST(ClipWriter, AFlushThatFailsMidwayFailsTheWrite)
{
    TestHome home;
    const platform::Descriptor fd(::open(QFile::encodeName(home.file("clip")).constData(), O_RDWR | O_CREAT, 0600));
    static int flushes;
    flushes = 0;
    platform::ClipWriter writer(fd.get(), [](int) { return ++flushes == 1 ? (errno = EIO, -1) : 0; });
    const std::vector<char> chunk(1 << 20);
    for (int i = 0; i < 64 && writer.append(chunk.data(), chunk.size());)
        ++i;
    const auto done = writer.finish();
    ASSERT_FALSE(done);
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(done.why(), QString::fromLocal8Bit(strerror(EIO)));
}

} // namespace
