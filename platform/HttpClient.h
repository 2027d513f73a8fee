#pragma once

#include <QObject>
#include <QString>
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
    QString temporaryDirectory;
    QString temporaryPrefix = QStringLiteral(".download");
    // Extra certificate authority to trust; empty means the system's store only.
    QString caFile;
    // A transfer with no bytes for this long fails.
    std::chrono::seconds idleTimeout{60};
};

struct HttpResponse {
    long statusCode = 0;
    // From Content-Disposition, else the address's last path segment; only a
    // safe plain file name, otherwise empty.
    QString suggestedFilename;
};

struct HttpResult {
    std::optional<HttpResponse> response; // none: no HTTP response at all
    std::optional<QString> error;         // what went wrong on our side
};

class HttpClient {
public:
    // Worker thread, once the body is complete with status 200: where to put it.
    using Destination = std::function<QString(const HttpResponse &)>;
    // Worker thread: bytes in this chunk, received so far, expected (-1: unknown).
    using Progress = std::function<void(std::int64_t, std::int64_t, std::int64_t)>;
    // Main thread, exactly once per request.
    using Completion = std::function<void(const HttpResult &)>;

    virtual ~HttpClient() = default;
    // POST with an empty body; starts at once and returns.
    virtual void download(const HttpRequest &request, Destination destination, Progress progress,
                          Completion completion) = 0;
};

// libcurl's multi interface on one worker thread.
class CurlHttpClient final : public QObject, public HttpClient {
public:
    CurlHttpClient();
    ~CurlHttpClient() override;
    void download(const HttpRequest &request, Destination destination, Progress progress,
                  Completion completion) override;

    struct Worker;

private:
    Worker &worker();
    std::unique_ptr<Worker> worker_;
};

// Whether a server-suggested name may be used as a file name in the
// download folder at all.
bool isSafeFileName(const QString &name);
// The file name a response suggests: Content-Disposition's filename* or
// filename, else the address's last path segment; empty when neither is safe.
QString suggestedFilename(const QByteArray &contentDisposition, const QString &url);

} // namespace platform
