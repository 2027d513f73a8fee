#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

struct HttpRequest {
    QString url;
    QString user; // sent as HTTP Basic
    QString password;
    // The body is streamed into a hidden temporary file in this folder and
    // renamed into place only when it arrived whole with status 200.
    QString folder;
    // The stored file's name: the one the response suggests (Content-
    // Disposition, else the address's last segment) only when it ends in one
    // of these extensions, else defaultName. Nothing but a clip is replaced.
    QStringList clipExtensions;
    QString defaultName;
    // Keep the body only when it is a clip in one of these containers
    // (FFmpeg's names) whose pictures or sound decode: an error page, or
    // anything else answered with 200, must not replace the last good clip.
    // Empty: any body is kept.
    QStringList clipFormats;
    // Extra certificate authority to trust; empty means the system's store only.
    QString caFile;
    // A transfer with no bytes for this long fails.
    std::chrono::seconds idleTimeout{60};
    // Every request ends by this deadline, well before the next hourly firing.
    std::chrono::seconds deadline{45 * 60};
    // A transfer slower than this many bytes a second over rateWindow fails.
    long minimumRate = 1024;
    std::chrono::seconds rateWindow{5 * 60};
    // A transfer stops before it leaves the folder's disk with less than
    // this many bytes free; -1: diskReserve(the disk's size).
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
    QString storedPath;                   // the full path of the stored body, on success
};

class HttpClient {
public:
    // Main thread, while the body arrives: bytes in this chunk, received so
    // far, expected (-1: unknown).
    using Progress = std::function<void(std::int64_t, std::int64_t, std::int64_t)>;
    // Main thread, exactly once per request.
    using Completion = std::function<void(const HttpResult &)>;

    virtual ~HttpClient() = default;
    // POST with an empty body; starts at once and returns.
    virtual void download(const HttpRequest &request, Progress progress, Completion completion) = 0;
};

// The HTTPS client in its own module (libcurl and, for the clip check,
// FFmpeg), loaded with the first download: most starts of the app fetch
// nothing for an hour, and loading libcurl's libraries costs more than the
// rest of start-up. A module that cannot be loaded is a request that got no
// response at all.
class LazyHttpClient final : public HttpClient {
public:
    LazyHttpClient();
    ~LazyHttpClient() override;
    void download(const HttpRequest &request, Progress progress, Completion completion) override;

private:
    std::unique_ptr<HttpClient> client_;
    QString loadError_;
    bool tried_ = false;
};

} // namespace platform
