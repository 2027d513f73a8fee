#include "AppFixture.h"
#include "DownloadNames.h"
#include "TavrelExtensions.h"
#include "UpdateCore.h"

#include <QTcpServer>

namespace {

// The news server (nginx) and the fault server, shared by the whole suite.
class DownloadTest : public AppFixture {
protected:
    static void SetUpTestSuite() { servers = std::make_unique<HelperProcess>(QStringList{"servers"}); }
    static void TearDownTestSuite() { servers.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(servers->ok());
        mpeg = readFile((*servers)["mpeg"]);
        QDir().mkpath(folder());
        delegate.certificateAuthorityFile = (*servers)["ca"];
        start();
        configure({});
    }

    static QString news(const QString &path) { return (*servers)["news"] + path; }
    static QString faults(const QString &path) { return (*servers)["faults"] + path; }
    QString folder() const { return home.file("Clips"); }
    QString clip(const QString &name = "zandor.mpeg") const { return QDir(folder()).filePath(name); }

    // Settings pointing at the local news server, with changes on top.
    void configure(const QVariantMap &changes)
    {
        QVariantMap settings{{"mpg_url", news("/zandor/zandor.mpeg")},
                             {"mxf_url", news("/zandor/zandor.mxf")},
                             {"mpg_download", 1},
                             {"mxf_download", 0},
                             {"username", "news"},
                             {"password", "secret"},
                             {"minutes_after_hour", "5"},
                             {"downloadfilepath", folder()},
                             {"start_at_startup", 0},
                             {"automatic_download", 1}};
        for (auto it = changes.cbegin(); it != changes.cend(); ++it)
            settings.insert(it.key(), it.value());
        writeSettings(settings);
        services.notifier.posted.clear();
        services.alerts.shown.clear();
        services.statusItem.images.clear();
        output = capturedOutput([&] { delegate.readFromPlist(); });
    }

    // One update, waiting for every request it started.
    void update(bool interactive, int requests = 1)
    {
        output += capturedOutput([&] {
            delegate.downloadFromRemote(interactive);
            ASSERT_TRUE(waitUntil([&] { return delegate.updates().requestsEnded() >= requests; }));
        });
    }

    // The update core alone, with the settings' plan changed by `change`:
    // what each request ended with, and whether a partial file was still
    // there when it was told.
    std::vector<update::Result> drive(const std::function<void(update::Plan &)> &change, bool interactive,
                                      int requests = 1)
    {
        std::vector<update::Result> results;
        update::Core core(services.http, services.clips,
                          {{}, [&](const update::Result &result, bool, const QStringList &) {
                               results.push_back(result);
                               EXPECT_TRUE(
                                   QDir(folder()).entryList({"*.part-*"}, QDir::Files | QDir::Hidden).isEmpty());
                           }});
        core.setRequestsPerUpdate(requests);
        update::Plan plan{news("/zandor/zandor.mpeg"),
                          true,
                          news("/zandor/zandor.mxf"),
                          false,
                          true,
                          folder(),
                          "news",
                          "secret",
                          (*servers)["ca"]};
        change(plan);
        output += capturedOutput([&] {
            if (const auto refused = core.start(plan, interactive))
                results.push_back(*refused);
            else
                EXPECT_TRUE(waitUntil([&] { return int(results.size()) >= requests; }));
        });
        return results;
    }
    update::Result driveOne(const QString &url, bool interactive, const QString &password = "secret")
    {
        auto results = drive(
            [&](update::Plan &plan) {
                plan.mpgUrl = url;
                plan.password = password;
            },
            interactive);
        return results.empty() ? update::Result{} : results.front();
    }

    // What the user was told last, alert or notification.
    std::pair<QString, QString> lastAlert() const
    {
        if (services.alerts.shown.empty())
            return {};
        const auto &spec = services.alerts.shown.back().spec;
        return {spec.messageText, spec.informativeText};
    }
    void expectNoLeftovers() const
    {
        for (const QString &name : QDir(folder()).entryList(QDir::Files | QDir::Hidden))
            EXPECT_FALSE(name.contains(".part-")) << name.toStdString();
    }
    void expectOldClipIntact() const { EXPECT_EQ(readFile(clip()), "the previous clip"); }

    inline static std::unique_ptr<HelperProcess> servers;
    QByteArray mpeg;
};

TEST_F(DownloadTest, MenuUpdateStoresTheClipAndSaysWhere)
{
    writeFile(clip(), "the previous clip");
    EXPECT_EQ(delegate.updates().requestsEnded(), 0); // nothing has ended before the first update
    update(true);
    EXPECT_EQ(readFile(clip()), mpeg);
    ASSERT_EQ(services.alerts.shown.size(), 1u);
    EXPECT_EQ(lastAlert(), std::make_pair(QString("File Succesfully Received"), clip()));
    EXPECT_FALSE(services.alerts.shown.back().soundPlayed);
    EXPECT_TRUE(services.notifier.posted.empty());
    ASSERT_EQ(services.statusItem.images, (std::vector<QString>{"statusWait", "statusIcon"}));
    EXPECT_FALSE(services.statusItem.masks[0]); // the wait image keeps its colours
    EXPECT_NE(output.find(std::to_string(mpeg.size()) + " of " + std::to_string(mpeg.size()) + "\n"), std::string::npos)
        << output;
    EXPECT_EQ(output.find("Ooops"), std::string::npos); // nothing is deleted first
    expectNoLeftovers();

    output += capturedOutput([&] { // one request of the form named
        delegate.getNewsUpdate(news("/zandor/zandor.mxf"), true, update::Form::Mxf);
        ASSERT_TRUE(waitUntil([&] { return delegate.updates().requestsEnded() >= 2; }));
    });
    EXPECT_EQ(lastAlert(), std::make_pair(QString("File Succesfully Received"), folder() + "/zandor.mxf"));
}

TEST_F(DownloadTest, HourlyUpdateOfBothFormsNotifiesAndTheToolTipTellsTheState)
{
    const QString at = TavrelExtensions::toShortTimeString(services.clock.time);
    // Started with the template's settings: no user name yet.
    EXPECT_EQ(services.statusItem.toolTip, "ZandorUpdate — Open Settings… to enter your user name and password");
    configure({{"mxf_download", 1}});
    delegate.startTimer();
    EXPECT_EQ(services.statusItem.toolTip,
              "ZandorUpdate — next update at " + TavrelExtensions::toShortTimeString(services.clock.time.addSecs(120)));
    ASSERT_EQ(delegate.updates().requestsPerUpdate(), 2);
    output += capturedOutput([&] { delegate.downloadFromRemote(false); });
    EXPECT_EQ(services.statusItem.toolTip, "Updating…");
    ASSERT_TRUE(waitUntil([&] { return delegate.updates().requestsEnded() >= 2; }));
    EXPECT_EQ(readFile(clip()), mpeg);
    EXPECT_EQ(readFile(clip("zandor.mxf")), readFile((*servers)["mxf"]));
    ASSERT_EQ(services.notifier.posted.size(), 2u);
    for (const auto &n : services.notifier.posted)
        EXPECT_EQ(n.title, "File Succesfully Received");
    EXPECT_TRUE(services.alerts.shown.empty());
    EXPECT_EQ(services.statusItem.images, (std::vector<QString>{"statusWait", "statusWait", "statusIcon"}));
    EXPECT_EQ(QFileInfo(clip()).permissions(), QFileInfo(home.file(".config/user-dirs.dirs")).permissions())
        << "an ordinary file, as the umask has it";
    // The two in the order they ended, by their names.
    const QString mpegFirst = at + " — zandor.mpeg received, zandor.mxf received";
    const QString mxfFirst = at + " — zandor.mxf received, zandor.mpeg received";
    EXPECT_TRUE(services.statusItem.toolTip == mpegFirst || services.statusItem.toolTip == mxfFirst)
        << services.statusItem.toolTip.toStdString();

    // While one of the two still runs, the tooltip says so.
    configure({{"mxf_download", 1}, {"mxf_url", faults("/trickle?n=60")}});
    output += capturedOutput([&] {
        delegate.downloadFromRemote(false);
        ASSERT_TRUE(waitUntil([&] { return delegate.updates().requestsEnded() >= 1; }));
        EXPECT_EQ(services.statusItem.toolTip, "Updating…");
        ASSERT_TRUE(waitUntil([&] { return delegate.updates().requestsEnded() >= 2; }));
    });

    configure({{"mpg_url", faults("/status/404")}, {"username", ""}});
    update(false);
    EXPECT_EQ(services.statusItem.toolTip, at + " — Error Connecting: 404");
    delegate.startTimer(); // a later arming keeps what the last update told, not the first start's hint
    EXPECT_EQ(services.statusItem.toolTip, at + " — Error Connecting: 404");
    configure({{"mpg_url", faults("/html")}});
    update(false);
    EXPECT_EQ(services.statusItem.toolTip, at + " — Error: The server sent no clip: text/html, 94 bytes");
}

// Each failure: what the user is told and how, the line that tells support
// which address failed and why (never with the password), the old clip kept,
// nothing partial left.
TEST_F(DownloadTest, EveryFailureSaysWhatHappenedAndKeepsTheOldClip)
{
    using update::Status;
    struct Case {
        QString url;
        bool interactive;
        Status status;
        Notification said; // "" as the body: any text, printed too; "…*": a text that starts so
        bool alert = true;
        QString cause = {}; // in the support line, asked with credentials in the address
        QString password = "secret";
    };
    const Notification connecting{"Error Connecting", "Check your Internet Connection"};
    const Notification noClip{"Error", "The server sent no clip: *"};
    const QString news = DownloadTest::news("/zandor/zandor.mpeg"),
                  closed = (*servers)["closed"] + "/zandor/zandor.mpeg";
    const QString unknown = "https://" + QString(64, 'a') + ".example/zandor/zandor.mpeg"; // fails before any lookup
    const Notification unauthorized{"Error Connecting: Unauthorized", "Check your username / password"};
    const Case cases[] = {
        {news, true, Status::Unauthorized, unauthorized, true, "", "wrong"},
        {news, false, Status::Unauthorized, {unauthorized.title, unauthorized.body + ")"}, false, "", "wrong"},
        // Other statuses and "status 200 and an error" raise an alert in both modes.
        {faults("/status/404"), false, Status::OtherStatus, {"Error Connecting: 404", "Error: 404"}, true, "404 Not"},
        {faults("/status/500"), true, Status::OtherStatus, {"Error Connecting: 500", "Error: 500"}},
        {faults("/redirect-loop"), true, Status::OtherStatus, {"Error Connecting: 302", "Error: 302"}},
        {faults("/html"), false, Status::Failed, {"Error", "The server sent no clip: text/html, 94 bytes"}},
        {faults("/empty"), false, Status::Failed, {"Error", "The server sent no clip: 0 bytes"}},
        // What FFmpeg would open, but is no clip of the form asked for.
        {faults("/ok/x?body=jpeg&type=image/jpeg"),
         true,
         Status::Failed,
         {"Error", "The server sent no clip: image/*"}},
        {faults("/ok/x?body=gzip-zeros"), true, Status::Failed, noClip},
        {faults("/ok/x?body=pack-garbage"), true, Status::Failed, noClip},
        {faults("/ok/x?body=mxf"), true, Status::Failed, {"Error", "The server sent no clip: MXF*"}},
        {faults("/ok/x?body=data-only"), true, Status::Failed, {"Error", "The server sent no clip: MPEG-TS*"}},
        {faults("/reset"), false, Status::Failed, {"Error", ""}}, // a body cut short
        {faults("/unframed?cut=1"), true, Status::Failed, {"Error", "The connection closed before the server said*"}},
        {faults("/endless?length=1125899906842624"), true, Status::Failed, {"Error", "Not enough free disk space*"}},
        {faults("/huge-header"), true, Status::Failed, {"Error", "The server's response header is too large"}},
        // No answer at all, or an address we must not ask: a certificate we
        // refuse, one we trust but for another host, plain HTTP.
        {closed, true, Status::NoResponse, connecting, true, "Couldn't connect to server"},
        {closed, false, Status::NoResponse, connecting, false},
        {unknown, true, Status::NoResponse, connecting, true, "Could not resolve host: " + QString(64, 'a')},
        {(*servers)["stranger"] + "/ok/zandor.mpeg", true, Status::NoResponse, connecting, true, "SSL certificate"},
        {(*servers)["elsewhere"] + "/ok/zandor.mpeg", true, Status::NoResponse, connecting, true, "subject name"},
        {QString(closed).replace("https:", "http:"), true, Status::NoResponse, connecting, true, "\"http\" not"},
        {"", true, Status::NoResponse, connecting},
        {"zandor/zandor.mpeg", true, Status::NoResponse, connecting},
        {"ftp://127.0.0.1/x", true, Status::NoResponse, connecting},
        {"file:///etc/passwd", true, Status::NoResponse, connecting},
    };
    writeFile(clip(), "the previous clip");
    for (const auto &c : cases) {
        output.clear();
        const QString asked = c.cause.isEmpty() ? c.url : QString(c.url).replace("://", "://news:secret@");
        const auto told = driveOne(asked, c.interactive, c.password);
        const std::string row = c.url.toStdString() + (c.interactive ? " (menu)" : " (hourly)");
        EXPECT_EQ(told.status, c.status) << row;
        EXPECT_EQ(told.title, c.said.title) << row;
        if (c.said.body.isEmpty())
            EXPECT_NE(output.find(told.message.toStdString() + "\n"), std::string::npos) << output;
        else if (c.said.body.endsWith('*'))
            EXPECT_TRUE(told.message.startsWith(c.said.body.chopped(1))) << told.message.toStdString();
        else
            EXPECT_EQ(told.message, c.said.body) << row;
        EXPECT_EQ(told.alert, c.alert) << row;
        EXPECT_TRUE(told.sound) << row;
        EXPECT_TRUE(told.storedPath.isEmpty()) << row;
        EXPECT_NE(output.find(told.diagnostic.toStdString() + "\n"), std::string::npos) << row;
        if (!c.cause.isEmpty()) {
            const QString line = "Update from " + c.url + " failed: ";
            EXPECT_TRUE(told.diagnostic.startsWith(line) && told.diagnostic.mid(line.size()).contains(c.cause))
                << told.diagnostic.toStdString();
            EXPECT_EQ(output.find("secret"), std::string::npos) << output;
        }
        if (told.message.startsWith("Not enough free disk space")) { // refused before its first byte is written
            EXPECT_EQ(output.find(" of "), std::string::npos) << output;
        }
        expectOldClipIntact();
        expectNoLeftovers();
    }
    // The redirect loop was given up after a few rounds, not followed on and on.
    platform::HttpRequest asked;
    std::optional<platform::HttpResult> loops;
    asked.url = faults("/redirect-loops");
    asked.caFile = (*servers)["ca"];
    services.http.download(asked, {}, [&](const platform::HttpResult &r) { loops = r; });
    ASSERT_TRUE(waitUntil([&] { return loops.has_value(); }));
    EXPECT_TRUE(loops->response && loops->response->statusCode == 204); // 409: followed more than 6 times
}

TEST_F(DownloadTest, ANewAccountsMissingDocumentsFolderIsMade)
{
    QDir(home.documents()).removeRecursively();
    configure({{"downloadfilepath", ""}}); // the default: the documents folder
    update(true);
    EXPECT_EQ(lastAlert(),
              std::make_pair(QString("File Succesfully Received"), QDir(home.documents()).filePath("zandor.mpeg")));
    // A relative folder counts from the working directory; the outcome names the full path.
    const QString working = QDir::currentPath();
    QDir::setCurrent(home.path());
    const auto relative = drive([&](update::Plan &plan) { plan.folder = "Clips"; }, true);
    QDir::setCurrent(working);
    ASSERT_EQ(relative.size(), 1u);
    EXPECT_EQ(relative[0].storedPath, clip());
    // Any other folder that is missing is refused, not made.
    const auto refused = drive([&](update::Plan &plan) { plan.folder = home.file("gone"); }, true);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].status, update::Status::Refused);
    EXPECT_FALSE(QFileInfo::exists(home.file("gone")));
}

TEST_F(DownloadTest, AFullDiskOrAFolderThatGoesAwayIsAnError)
{
    writeFile(clip(), "the previous clip");
    configure({{"mpg_url", faults("/endless")}}); // a failed write must stop it at once
    withFileSizeLimit(100000, [&] { update(true); });
    EXPECT_EQ(lastAlert(), std::make_pair(QString("Error"), QString("File too large")));
    expectOldClipIntact();
    expectNoLeftovers();

    configure({{"mpg_url", faults("/trickle")}});
    output += capturedOutput([&] {
        delegate.downloadFromRemote(true);
        // Another start's clean-up leaves a download under way alone.
        EXPECT_EQ(platform::removeAbandonedPartialDownloads(folder()), 0);
        QDir(folder()).removeRecursively();
        ASSERT_TRUE(waitUntil([&] { return delegate.updates().requestsEnded() >= 1; }));
    });
    EXPECT_EQ(lastAlert(),
              std::make_pair(QString("Error"), "The download folder went away during the download: " + folder()));
    EXPECT_FALSE(QFileInfo::exists(folder()));

    // Gone, or no folder at all, between the update's checks and a request: an
    // alert even for the hourly update.
    std::vector<update::Result> told;
    update::Core core(services.http, services.clips,
                      {{}, [&](const update::Result &result, bool, const QStringList &) { told.push_back(result); }});
    update::Plan plan;
    plan.folder = folder();
    core.request(update::Form::Mpeg, news("/zandor/zandor.mpeg"), plan, false);
    writeFile(folder(), "a file");
    core.request(update::Form::Mxf, news("/zandor/zandor.mxf"), plan, false);
    ASSERT_TRUE(waitUntil([&] { return told.size() == 2; }));
    for (const auto &result : told)
        EXPECT_EQ(std::make_tuple(result.status, result.title, result.alert),
                  std::make_tuple(update::Status::Failed, QString("Error"), true));
    EXPECT_EQ(told[0].message, "The download folder went away during the download: " + folder());
    EXPECT_EQ(told[1].message, "Not a directory");
}

TEST_F(DownloadTest, OnlyAClipOfTheRequestsFormIsEverReplaced)
{
    writeFile(clip("notes.txt"), "the user's own notes");
    const std::vector<std::tuple<QString, QString, QString>> cases{
        // form, Content-Disposition, the name stored
        {"mpg_url", "attachment; filename=\"../../x.mpeg\"", "x.mpeg"},
        {"mpg_url", "attachment; filename=notes.txt", "zandor.mpeg"},
        {"mxf_url", "attachment; filename=clip.mpeg", "zandor.mxf"},
        {"mxf_url", "attachment; filename=Clip.MXF", "Clip.MXF"},
    };
    for (const auto &[form, header, stored] : cases) {
        const bool mxf = form == "mxf_url";
        const QString url =
            faults("/cd?body=" + QString(mxf ? "mxf" : "mpeg") + "&v=" + QUrl::toPercentEncoding(header));
        const auto told = drive(
            [&](update::Plan &plan) {
                (mxf ? plan.mxfUrl : plan.mpgUrl) = url;
                plan.mpgDownload = !mxf;
                plan.mxfDownload = mxf;
            },
            true);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].status, update::Status::Stored);
        EXPECT_EQ(told[0].storedPath, QDir(folder()).filePath(stored)) << header.toStdString();
        EXPECT_EQ(told[0].message, told[0].storedPath);
        EXPECT_EQ(readFile(QDir(folder()).filePath(stored)), form == "mxf_url" ? readFile((*servers)["mxf"]) : mpeg);
    }
    EXPECT_EQ(readFile(clip("notes.txt")), "the user's own notes");
    EXPECT_FALSE(QFileInfo::exists(home.file("x.mpeg")));
    // A folder of the user's that holds the clip's name: an error, and the folder stays.
    QFile::remove(clip("zandor.mxf"));
    QDir().mkpath(clip("zandor.mxf") + "/inside");
    const auto blocked = drive(
        [](update::Plan &plan) {
            plan.mpgDownload = false;
            plan.mxfDownload = true;
        },
        true);
    ASSERT_EQ(blocked.size(), 1u);
    EXPECT_EQ(std::make_pair(blocked[0].status, blocked[0].message),
              std::make_pair(update::Status::Failed, QString("Is a directory")));
    EXPECT_TRUE(QFileInfo(clip("zandor.mxf") + "/inside").isDir());
}

TEST_F(DownloadTest, ServersOfOtherShapesStillDeliverTheClip)
{
    // No name: the form names the file; an unknown length is reported as -1.
    configure({{"mpg_url", faults("/noname/")}, {"mxf_url", faults("/chunked?body=mxf")}, {"mxf_download", 1}});
    update(true, 2);
    EXPECT_EQ(readFile(clip("zandor.mpeg")), mpeg);
    EXPECT_EQ(readFile(clip("zandor.mxf")), readFile((*servers)["mxf"]));
    EXPECT_NE(output.find(std::to_string(readFile((*servers)["mxf"]).size()) + " of -1\n"), std::string::npos)
        << output;

    // A body that ends with the connection, closed as TLS says it should be.
    configure({{"mpg_url", faults("/unframed")}});
    update(true);
    EXPECT_EQ(lastAlert(), std::make_pair(QString("File Succesfully Received"), clip()));
    // The shortest clips: three frames of picture, and sound alone, whose run no drain completes;
    // and picture alone, with no program stream round it.
    for (const QString body : {"three-frames", "sound-only", "video-only"})
        EXPECT_EQ(driveOne(faults("/ok/zandor.mpeg?body=" + body), true).status, update::Status::Stored)
            << body.toStdString();

    // A redirect on the same server is followed; one down to plain HTTP never,
    // and a plain HTTP address is not even connected to: the password stays.
    configure({{"mpg_url", faults("/redirect-same")}});
    update(true);
    EXPECT_EQ(lastAlert().first, "File Succesfully Received");
    configure({{"mpg_url", faults("/redirect-named")}});
    update(true);
    EXPECT_EQ(lastAlert().second, clip()); // the name is the last response's, not the redirect's
    QFile::remove(clip());
    configure({{"mpg_url", faults("/redirect-http")}});
    update(true);
    EXPECT_NE(lastAlert().first, "File Succesfully Received");
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress::LocalHost));
    configure({{"mpg_url", QString("http://127.0.0.1:%1/zandor/zandor.mpeg").arg(plain.serverPort())}});
    update(true);
    EXPECT_EQ(lastAlert(), std::make_pair(QString("Error Connecting"), QString("Check your Internet Connection")));
    EXPECT_FALSE(plain.waitForNewConnection(200));
    EXPECT_FALSE(QFile::exists(clip()));
}

TEST_F(DownloadTest, TwoRequestsForOneNameNeverMixTheirBytes)
{
    configure({{"mxf_url", news("/zandor/zandor.mpeg")}, {"mxf_download", 1}});
    update(false, 2);
    EXPECT_EQ(readFile(clip()), mpeg);
    expectNoLeftovers();
}

TEST_F(DownloadTest, RefusalsComeBeforeAnyRequestInTheirOrder)
{
    // The folder is missing in every case; what else is wrong decides what is said.
    const QVariantMap noForm{{"mpg_download", 0}, {"automatic_download", 0}}, autoOff{{"automatic_download", 0}};
    const std::tuple<QVariantMap, bool, Notification> cases[] = {
        {noForm, true, {"Select at least one FileType", "Update not Executed"}},
        {noForm, false, {"Update not Executed", "Select at least one FileType"}},
        {autoOff, false, {"Update not Executed", "AutoDownload is turned Off"}},
        {autoOff, true, {"Invalid download directory specified", "Update not Executed"}},
        {{}, false, {"Update not Executed", "Invalid download directory specified"}},
    };
    update(true); // one request ended: a refusal must not reset that
    for (auto [settings, interactive, said] : cases) {
        settings.insert("downloadfilepath", home.file("missing"));
        configure(settings);
        output += capturedOutput([&] { delegate.downloadFromRemote(interactive); });
        EXPECT_EQ(delegate.updates().requestsEnded(), 1); // nothing started
        EXPECT_TRUE(services.statusItem.images.empty());
        if (interactive)
            EXPECT_TRUE(lastAlert() == std::make_pair(said.title, said.body) &&
                        services.alerts.shown.back().soundPlayed)
                << said.title.toStdString();
        else
            EXPECT_EQ(services.notifier.posted, std::vector<Notification>{said});
    }
}

TEST_F(DownloadTest, BothFormsAreAskedForMpegFirst)
{
    struct Asked final : platform::HttpClient {
        QStringList urls;
        void download(const platform::HttpRequest &request, Progress, Completion) override { urls << request.url; }
    } asked;
    update::Core core(asked, services.clips, {});
    update::Plan plan;
    plan.mpgUrl = news("/zandor/zandor.mpeg");
    plan.mxfUrl = news("/zandor/zandor.mxf");
    plan.mpgDownload = plan.mxfDownload = true;
    plan.folder = folder();
    EXPECT_FALSE(core.start(plan, true));
    EXPECT_EQ(asked.urls, (QStringList{plan.mpgUrl, plan.mxfUrl}));
}

TEST_F(DownloadTest, TheBasicHeaderIsBuiltOverUtf8Credentials)
{
    delegate.appSettings.insert("username", "zoë");
    delegate.appSettings.insert("password", "p:w");
    EXPECT_EQ(delegate.makeAuthHeader(), (QMap<QString, QString>{{"Authorization", "Basic em/DqzpwOnc="}}));
}

} // namespace
