#pragma once

#include "Result.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

// What arrived with a whole body of status 200, for the caller to judge and
// name.
struct Delivery {
    QByteArray contentDisposition;
    QByteArray contentType;
    QString effectiveUrl; // where the redirects ended
    std::int64_t bytes = 0;
};

struct HttpRequest {
    QString url;
    QString user; // sent as HTTP Basic
    QString password;
    // The file the body of a status-200 response is written to (the caller's:
    // the client never opens, names or removes a file). A body of any other
    // status is not kept.
    int fd = -1;
    // Worker thread, after a whole status-200 body is written (not yet
    // flushed to disk): what the caller makes of it. Its failure is the
    // request's error; its value the result's storedPath.
    std::function<Result<QString>(const Delivery &)> arrived;
    // Named in the message when the disk is too full to go on.
    QString folder;
    // Extra certificate authority to trust; empty means the system's store only.
    QString caFile;
    // A transfer with no bytes for this long fails.
    std::chrono::seconds idleTimeout{60};
    // Every request ends by this deadline, well before the next hourly firing.
    std::chrono::seconds deadline{45 * 60};
    // A transfer slower than this many bytes a second over rateWindow fails.
    long minimumRate = 1024;
    std::chrono::seconds rateWindow{5 * 60};
    // A transfer stops before it leaves the file's disk with less than this
    // many bytes free; -1: diskReserve(the disk's size).
    std::int64_t keepFree = -1;
};

// What a download leaves free on a disk of this size: 5 % of it or 1 GiB,
// whichever is less.
constexpr std::int64_t diskReserve(std::int64_t diskSize)
{
    return std::min(diskSize / 20, std::int64_t(1) << 30);
}

struct HttpResponse {
    long statusCode = 0;
    QString reason; // the status line's phrase, e.g. "Not Found"
};

struct HttpResult {
    std::optional<HttpResponse> response; // none: no HTTP response at all
    std::optional<QString> error;         // what went wrong on our side
    QString storedPath;                   // what the arrived step gave, on success
};

class HttpClient {
public:
    // Main thread, while the body arrives: bytes in this chunk, received so
    // far, expected (-1: unknown).
    using Progress = std::function<void(std::int64_t, std::int64_t, std::int64_t)>;
    // Main thread, exactly once per request.
    using Completion = std::function<void(const HttpResult &)>;

    virtual ~HttpClient() = default;
    // Main thread: a download is due soon; get ready for it (load, start
    // threads), so that it starts at once.
    virtual void prepare() {}
    // POST with an empty body; starts at once and returns.
    virtual void download(const HttpRequest &request, Progress progress, Completion completion) = 0;
};

// Whether a received file is a clip in one of these containers (FFmpeg's
// names) whose pictures or sound decode; the failure says what it is instead.
class ClipChecker {
public:
    virtual ~ClipChecker() = default;
    // Main thread, once a download is under way or due soon: get ready
    // while the body arrives.
    virtual void prepare() {}
    // Any thread.
    virtual Result<> check(const QString &path, const QStringList &formats, const QByteArray &contentType,
                           std::int64_t size) = 0;
};

// The HTTPS client in its own module (libcurl), loaded with the first
// download: most starts of the app fetch
// nothing for an hour, and loading libcurl's libraries costs more than the
// rest of start-up. A module that cannot be loaded is a request that got no
// response at all.
class LazyHttpClient final : public HttpClient {
public:
    LazyHttpClient();                             // after the application object
    explicit LazyHttpClient(QStringList folders); // where the module may be
    ~LazyHttpClient() override;
    void prepare() override;
    void download(const HttpRequest &request, Progress progress, Completion completion) override;

private:
    void load();

    const QStringList folders_;
    std::unique_ptr<HttpClient> client_;
    QString loadError_;
    bool tried_ = false;
};

// The clip check (FFmpeg) in a module of its own, loaded on a thread of its
// own as the first download starts: FFmpeg's libraries take longer to load
// than a connection takes to set up, and the check is needed only once the
// whole body has arrived.
class LazyClipChecker final : public ClipChecker {
public:
    LazyClipChecker(); // after the application object
    void prepare() override;
    Result<> check(const QString &path, const QStringList &formats, const QByteArray &contentType,
                   std::int64_t size) override;

private:
    using Check = Result<> (*)(const QString &, const QStringList &, const QByteArray &, std::int64_t);
    const QStringList folders_; // where the module may be
    std::once_flag started_;
    std::shared_future<Result<Check>> loaded_;
};

} // namespace platform
