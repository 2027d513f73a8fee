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

    struct Worker;

private:
    Worker &worker();
    std::unique_ptr<Worker> worker_;
};

} // namespace platform
