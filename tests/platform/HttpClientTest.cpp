#include "HttpClient.h"
#include "EventLoop.h"
#include "Processes.h"
#include "TestHome.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using platform::suggestedFilename;

TEST(SuggestedFilename, TakesOnlyASafeLastComponent)
{
    const QString url = "https://news.example/zandor/zandor.mpeg";
    EXPECT_EQ(suggestedFilename("", url), "zandor.mpeg");
    EXPECT_EQ(suggestedFilename("attachment; filename=\"clip 1.mpeg\"", url), "clip 1.mpeg");
    EXPECT_EQ(suggestedFilename("attachment; filename=clip.mxf", url), "clip.mxf");
    EXPECT_EQ(suggestedFilename("attachment; filename*=UTF-8''%E2%82%AC.mpeg", url), "€.mpeg");
    EXPECT_EQ(suggestedFilename("attachment; filename=\"a\\\"b.mpeg\"", url), "a\"b.mpeg");
    EXPECT_EQ(suggestedFilename("attachment; filename=\"../../x\"", url), "x");
    EXPECT_EQ(suggestedFilename("attachment; filename=/etc/passwd", url), "passwd");
    for (const QByteArray &bad :
         {QByteArray("attachment; filename=.bashrc"), QByteArray("attachment; filename=\"\""),
          QByteArray("attachment; filename=\"..\""), QByteArray("attachment; filename=\"a/\""),
          QByteArray("attachment; filename=\"a\\\\b\""), QByteArray("attachment; filename*=UTF-8''a%00b"),
          QByteArray("attachment; filename*=UTF-8''a%0Ab"), "attachment; filename=" + QByteArray(256, 'n'),
          QByteArray("attachment; filename"), QByteArray(";;;=;\"")})
        EXPECT_EQ(suggestedFilename(bad, url), "zandor.mpeg") << bad.constData();
    EXPECT_EQ(suggestedFilename("", "https://news.example/"), "");
    EXPECT_EQ(suggestedFilename("", "https://news.example/..%2F.."), "");
    EXPECT_EQ(suggestedFilename("attachment; filename=.x", "https://news.example/.hidden"), "");
}

class HttpClientTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        certificates = new TestCertificates;
        faults = new FaultServer(*certificates);
    }
    static void TearDownTestSuite()
    {
        delete faults;
        delete certificates;
    }

    platform::HttpResult fetch(const QString &path, std::chrono::seconds idle)
    {
        platform::HttpRequest request;
        request.url = faults->url(path);
        request.temporaryDirectory = folder.path();
        request.caFile = certificates->caFile;
        request.idleTimeout = idle;
        std::optional<platform::HttpResult> result;
        client.download(
            request, [&](const platform::HttpResponse &) { return folder.filePath("stored"); },
            [&](std::int64_t, std::int64_t received, std::int64_t expected) {
                progress.emplace_back(received, expected);
            },
            [&](const platform::HttpResult &r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, 30000));
        return result.value_or(platform::HttpResult{});
    }

    static TestCertificates *certificates;
    static FaultServer *faults;
    QTemporaryDir folder;
    platform::CurlHttpClient client;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
};

TestCertificates *HttpClientTest::certificates = nullptr;
FaultServer *HttpClientTest::faults = nullptr;

TEST_F(HttpClientTest, AStalledTransferEndsAsAFailure)
{
    const auto result = fetch("/stall?for=6", std::chrono::seconds(1));
    ASSERT_TRUE(result.response);
    EXPECT_EQ(result.response->statusCode, 200);
    EXPECT_TRUE(result.error);
    EXPECT_TRUE(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(HttpClientTest, ASlowTrickleIsNotAStall)
{
    const auto result = fetch("/trickle", std::chrono::seconds(1));
    ASSERT_TRUE(result.response);
    EXPECT_FALSE(result.error) << result.error->toStdString();
    EXPECT_EQ(readFile(folder.filePath("stored")), QByteArray(20, 't'));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(std::int64_t(20), std::int64_t(20)));
}

TEST_F(HttpClientTest, ProgressIsReportedWhileALargeBodyArrives)
{
    const auto result = fetch("/big?size=5000000", std::chrono::seconds(10));
    EXPECT_FALSE(result.error);
    EXPECT_GE(progress.size(), 4u);
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_GT(progress[i].first, progress[i - 1].first);
    EXPECT_EQ(progress.back(), std::make_pair(std::int64_t(5000000), std::int64_t(5000000)));
}

TEST_F(HttpClientTest, AChallengeIsAnsweredOnceAndARefusalIsA401)
{
    platform::HttpRequest request;
    request.url = faults->url("/auth");
    request.user = "user";
    request.password = "secret";
    request.temporaryDirectory = folder.path();
    request.caFile = certificates->caFile;
    std::vector<platform::HttpResult> results;
    client.download(
        request, [&](const platform::HttpResponse &) { return folder.filePath("ok"); }, {},
        [&](const platform::HttpResult &r) { results.push_back(r); });
    request.password = "wrong";
    client.download(
        request, [&](const platform::HttpResponse &) { return folder.filePath("no"); }, {},
        [&](const platform::HttpResult &r) { results.push_back(r); });
    ASSERT_TRUE(waitUntil([&] { return results.size() == 2; }));
    std::vector<long> statuses;
    for (const auto &r : results)
        statuses.push_back(r.response ? r.response->statusCode : 0);
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(statuses, (std::vector<long>{200, 401}));
    EXPECT_TRUE(QFile::exists(folder.filePath("ok")));
    EXPECT_FALSE(QFile::exists(folder.filePath("no")));
}

} // namespace
