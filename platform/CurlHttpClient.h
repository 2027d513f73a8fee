#pragma once

#include "HttpClient.h"

#include <QObject>
#include <memory>

namespace platform {

// libcurl's multi interface on one worker thread. Lives in the HTTPS module.
class CurlHttpClient final : public QObject, public HttpClient {
public:
    CurlHttpClient();
    ~CurlHttpClient() override;
    void download(const HttpRequest &request, Progress progress, Completion completion) override;
    Result<> checkClip(const QString &path, const QStringList &formats, const QByteArray &contentType,
                       std::int64_t size) const override;

    struct Worker;

private:
    Worker &worker();
    std::unique_ptr<Worker> worker_;
};

} // namespace platform
