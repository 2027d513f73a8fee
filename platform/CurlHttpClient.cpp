#include "CurlHttpClient.h"

#include "ClipWriter.h"

#include <QByteArray>
#include <QFile>
#include <QSocketNotifier>
#include <atomic>
#include <curl/curl.h>
#include <limits>
#include <list>
#include <mutex>
#include <openssl/ssl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/statvfs.h>
#include <thread>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kProgressStep = 1 << 20; // one line per MiB is plenty

} // namespace

struct CurlEasyDeleter {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct CurlListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

struct Transfer {
    HttpRequest request;
    HttpClient::Progress progress;
    HttpClient::Completion completion;
    CurlHttpClient *client = nullptr; // tells the main thread
    std::unique_ptr<CURL, CurlEasyDeleter> easy;
    std::unique_ptr<curl_slist, CurlListDeleter> headers;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray contentDisposition;
    QByteArray contentType;
    QByteArray reason; // of the last status line
    QByteArray url;
    QByteArray user, password, caFile;
    std::unique_ptr<ClipWriter> writer;
    std::optional<QString> abortReason; // why it was ended on our side
    bool discarding = false;            // a body we will not keep (status other than 200)
    bool framed = false;                // the response says where its body ends
    bool closeNotify = false;           // the server ended TLS cleanly
    std::int64_t spaceChecked = -1;     // received when the disk was last looked at
    std::int64_t received = 0;
    std::int64_t reported = 0;
    Clock::time_point lastByte = Clock::now();
};

struct CurlHttpClient::Worker {
    CURLM *multi = nullptr;
    std::thread thread;
    std::mutex mutex;
    std::list<std::unique_ptr<Transfer>> incoming; // guarded by mutex
    std::list<std::unique_ptr<Transfer>> running;  // worker thread only
    std::atomic<bool> stopping{false};
    CurlHttpClient *client = nullptr;

    void run();
    void start(std::unique_ptr<Transfer> transfer);
    void finish(Transfer &transfer, CURLcode code);
};

namespace {

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const QByteArray line(data, qsizetype(size * count));
    const QByteArray lower = line.left(40).toLower();
    if (line.startsWith("HTTP/")) { // a new response (after a redirect or a challenge)
        t.reason = line.trimmed().split(' ').mid(2).join(' ');
        t.contentDisposition.clear();
        t.contentType.clear();
        t.framed = t.closeNotify = false;
    } else if (lower.startsWith("content-length:") ||
               (lower.startsWith("transfer-encoding:") && line.toLower().contains("chunked"))) {
        t.framed = true;
    } else if (lower.startsWith("content-disposition:")) {
        t.contentDisposition = line.mid(20).trimmed();
    } else if (lower.startsWith("content-type:")) {
        t.contentType = line.mid(13).trimmed();
    }
    return size * count;
}

// Progress lines come only while body bytes arrive.
void reportProgress(Transfer &t, std::int64_t chunk)
{
    if (!t.progress || t.received == t.reported)
        return;
    curl_off_t expected = -1;
    curl_easy_getinfo(t.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    t.reported = t.received;
    // Told on the main thread, in order, before the completion.
    t.client->post([progress = t.progress, chunk, received = t.received, expected] {
        progress(chunk, received, std::int64_t(expected));
    });
}

// Whether what is still to come would leave the folder's disk with less
// free than we keep; a response that says how long it is is refused before
// its first byte is written.
bool wouldFillTheDisk(Transfer &t, std::int64_t incoming)
{
    struct statvfs disk {};
    if (::fstatvfs(t.request.fd, &disk) != 0)
        return false;
    const std::int64_t size = std::int64_t(disk.f_blocks) * std::int64_t(disk.f_frsize);
    const std::int64_t free = std::int64_t(disk.f_bavail) * std::int64_t(disk.f_frsize);
    const std::int64_t keep = t.request.keepFree >= 0 ? t.request.keepFree : diskReserve(size);
    curl_off_t expected = -1;
    curl_easy_getinfo(t.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
    const std::int64_t toCome = std::max<std::int64_t>(std::int64_t(expected) - t.received, incoming);
    return free - t.writer->queued() - toCome < keep;
}

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto &t = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    if (!t.writer && !t.discarding) {
        long status = 0;
        curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status != 200)
            t.discarding = true;
        else
            t.writer = std::make_unique<ClipWriter>(t.request.fd);
    }
    if (t.writer && (t.spaceChecked < 0 || t.received - t.spaceChecked >= kProgressStep)) {
        t.spaceChecked = t.received;
        if (wouldFillTheDisk(t, std::int64_t(bytes))) {
            t.abortReason = QStringLiteral("Not enough free disk space for the clip in %1").arg(t.request.folder);
            return 0;
        }
    }
    if (t.writer && !t.writer->append(data, bytes)) {
        t.abortReason = t.writer->finish().why();
        return 0; // makes curl stop with a write error
    }
    t.received += std::int64_t(bytes);
    t.lastByte = Clock::now();
    if (t.received - t.reported >= kProgressStep || t.reported == 0)
        reportProgress(t, std::int64_t(bytes));
    return bytes;
}

// Total silence ends a transfer sooner than the rate limit would.
int onTick(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto &t = *static_cast<Transfer *>(user);
    if (Clock::now() - t.lastByte < t.request.idleTimeout)
        return 0;
    t.abortReason = QStringLiteral("No data from the server for %1 seconds").arg(t.request.idleTimeout.count());
    return 1;
}

// Which transfer a connection's TLS context belongs to (connections are
// never shared between transfers).
int transferIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// A body that ends only when the connection does is whole only when the
// server says so: a TLS close_notify, not a bare TCP close.
void onTlsEvent(const SSL *ssl, int where, int alert)
{
    if ((where & SSL_CB_READ_ALERT) != SSL_CB_READ_ALERT || (alert & 0xff) != SSL3_AD_CLOSE_NOTIFY)
        return;
    if (auto *t = static_cast<Transfer *>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), transferIndex())))
        t->closeNotify = true;
}

CURLcode onTlsContext(CURL *, void *context, void *user)
{
    SSL_CTX_set_ex_data(static_cast<SSL_CTX *>(context), transferIndex(), user);
    SSL_CTX_set_info_callback(static_cast<SSL_CTX *>(context), onTlsEvent);
    return CURLE_OK;
}

// An HTTP/1 body with neither a length nor chunks that ended without the
// server's close_notify: it may have been cut anywhere.
bool endedUnannounced(const Transfer &t)
{
    long version = 0;
    curl_easy_getinfo(t.easy.get(), CURLINFO_HTTP_VERSION, &version);
    const bool http1 = version == CURL_HTTP_VERSION_1_0 || version == CURL_HTTP_VERSION_1_1;
    return http1 && !t.framed && !t.closeNotify;
}

} // namespace

void CurlHttpClient::Worker::start(std::unique_ptr<Transfer> transfer)
{
    Transfer &t = *transfer;
    t.easy.reset(curl_easy_init());
    t.url = t.request.url.toUtf8();
    t.user = t.request.user.toUtf8();
    t.password = t.request.password.toUtf8();
    t.caFile = QFile::encodeName(t.request.caFile);

    CURL *e = t.easy.get();
    curl_easy_setopt(e, CURLOPT_URL, t.url.constData());
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // HTTPS only, redirects too: the password never goes out in clear.
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, 0L);
    // An empty POST with no extra headers: none of curl's own form type or Expect.
    t.headers.reset(curl_slist_append(nullptr, "Expect:"));
    t.headers.reset(curl_slist_append(t.headers.release(), "Content-Type:"));
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headers.get());
    // Basic credentials up front; a refusal comes back as the server's 401.
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    curl_easy_setopt(e, CURLOPT_USERNAME, t.user.constData());
    curl_easy_setopt(e, CURLOPT_PASSWORD, t.password.constData());
    // Follow redirects; curl keeps the credentials to the first host (no
    // CURLOPT_UNRESTRICTED_AUTH).
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    // A connection of its own, so its TLS context knows whose it is.
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, onTlsContext);
    curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, &t);
    if (!t.caFile.isEmpty())
        curl_easy_setopt(e, CURLOPT_CAINFO, t.caFile.constData());
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(std::chrono::milliseconds(t.request.deadline).count()));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, t.request.minimumRate);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long(t.request.rateWindow.count()));
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, onTick);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_multi_add_handle(multi, e);
    running.push_back(std::move(transfer));
}

namespace {

// A whole body of status 200: written out, then handed to the caller.
Result<QString> arrived(Transfer &t)
{
    if (t.writer)
        if (auto written = t.writer->finish(); !written)
            return Failure{written.why()};
    if (!t.request.arrived)
        return QString();
    const char *effective = nullptr;
    curl_easy_getinfo(t.easy.get(), CURLINFO_EFFECTIVE_URL, &effective);
    return t.request.arrived(
        {t.contentDisposition, t.contentType, effective ? QString::fromUtf8(effective) : t.request.url, t.received});
}

} // namespace

void CurlHttpClient::Worker::finish(Transfer &t, CURLcode code)
{
    HttpResult result;
    long status = 0;
    curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status > 0)
        result.response = HttpResponse{status, QString::fromLatin1(t.reason)};
    if (code != CURLE_OK) {
        if (t.abortReason)
            result.error = t.abortReason;
        else if (code == CURLE_OUT_OF_MEMORY && status > 0) // how curl refuses a header past its limit
            result.error = QStringLiteral("The server's response header is too large");
        else
            result.error = QString::fromUtf8(t.errorBuffer[0] ? t.errorBuffer : curl_easy_strerror(code));
    } else if (status == 200 && endedUnannounced(t)) {
        result.error = QStringLiteral("The connection closed before the server said the body was complete");
    }
    reportProgress(t, 0);
    if (status == 200 && !result.error) {
        auto stored = arrived(t);
        if (stored)
            result.storedPath = *stored;
        else
            result.error = stored.why();
    }
    t.writer.reset();
    // Nothing of the caller's is held here once it hears the outcome.
    t.request.arrived = nullptr;
    curl_multi_remove_handle(multi, t.easy.get());

    client->post([completion = std::move(t.completion), result] { completion(result); });
}

void CurlHttpClient::Worker::run()
{
    pthread_setname_np(pthread_self(), "zandor-https"); // so top -H and a debugger can tell it apart
    while (!stopping) {
        {
            std::lock_guard lock(mutex);
            while (!incoming.empty()) {
                auto transfer = std::move(incoming.front());
                incoming.pop_front();
                start(std::move(transfer));
            }
        }
        int active = 0;
        curl_multi_perform(multi, &active);
        int queued = 0;
        while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            Transfer *done = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &done);
            const CURLcode code = msg->data.result;
            finish(*done, code);
            running.remove_if([done](const auto &t) { return t.get() == done; });
        }
        // Idle, sleep until download() wakes us: no periodic wake-ups.
        curl_multi_poll(multi, nullptr, 0, running.empty() ? std::numeric_limits<int>::max() : 1000, nullptr);
    }
    // Shutting down: what is still open goes, its partial file with it.
    for (auto &t : running)
        curl_multi_remove_handle(multi, t->easy.get());
    running.clear();
}

CurlHttpClient::CurlHttpClient() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    waker_ = std::make_unique<QSocketNotifier>(wake_.get(), QSocketNotifier::Read);
    QObject::connect(waker_.get(), &QSocketNotifier::activated, waker_.get(), [this] { deliver(); });
}

// The worker's news goes through a queue of our own and an eventfd that
// wakes the main loop, in order; what the worker wrote before is seen by
// the main thread after (and ThreadSanitizer sees that too, which it cannot
// through Qt's own event queue).
void CurlHttpClient::post(std::function<void()> call)
{
    {
        std::lock_guard lock(deliveriesMutex_);
        deliveries_.push_back(std::move(call));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

void CurlHttpClient::deliver()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wake_.get(), &count, sizeof count);
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(deliveriesMutex_);
        batch.swap(deliveries_);
    }
    for (auto &call : batch)
        call();
}

CurlHttpClient::~CurlHttpClient()
{
    if (!worker_)
        return;
    worker_->stopping = true;
    curl_multi_wakeup(worker_->multi);
    worker_->thread.join();
    curl_multi_cleanup(worker_->multi);
}

// Started with the first download: most starts of the app fetch nothing for
// an hour, and TLS set-up is not free.
CurlHttpClient::Worker &CurlHttpClient::worker()
{
    if (!worker_) {
        static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        (void)initialised;
        worker_ = std::make_unique<Worker>();
        worker_->multi = curl_multi_init();
        worker_->client = this;
        worker_->thread = std::thread([w = worker_.get()] { w->run(); });
    }
    return *worker_;
}

void CurlHttpClient::download(const HttpRequest &request, Progress progress, Completion completion)
{
    auto transfer = std::make_unique<Transfer>();
    transfer->request = request;
    // The worker frees these when the transfer ends. Shared with the caller's
    // settings, the last reference could drop on either thread; owned here,
    // only the worker ever lets go of them.
    for (QString *text : {&transfer->request.url, &transfer->request.user, &transfer->request.password,
                          &transfer->request.folder, &transfer->request.caFile})
        text->detach();
    transfer->progress = std::move(progress);
    transfer->completion = std::move(completion);
    transfer->client = this;
    Worker &w = worker();
    {
        std::lock_guard lock(w.mutex);
        w.incoming.push_back(std::move(transfer));
    }
    curl_multi_wakeup(w.multi);
}

} // namespace platform

// The module's one entry point, looked up by the app when it first downloads.
extern "C" __attribute__((visibility("default"))) platform::HttpClient *zandorupdateCreateHttpClient()
{
    return new platform::CurlHttpClient;
}
