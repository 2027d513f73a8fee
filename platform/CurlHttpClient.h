#pragma once

#include "Descriptor.h"
#include "HttpClient.h"

#include <QSocketNotifier>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

// libcurl's multi interface on one worker thread. Lives in the HTTPS module.
class CurlHttpClient final : public HttpClient {
public:
    CurlHttpClient();
    ~CurlHttpClient() override;
    void prepare() override { worker(); }
    void download(const HttpRequest &request, Progress progress, Completion completion) override;

    // Worker thread: runs `call` on the main thread, after what was posted before.
    void post(std::function<void()> call);

    struct Worker;

private:
    Worker &worker();
    void deliver();

    Descriptor wake_; // an eventfd: the worker's knock on the main loop
    std::unique_ptr<QSocketNotifier> waker_;
    std::mutex deliveriesMutex_;
    std::deque<std::function<void()>> deliveries_; // guarded by deliveriesMutex_
    std::unique_ptr<Worker> worker_;
};

} // namespace platform
