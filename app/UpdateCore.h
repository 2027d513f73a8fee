#pragma once

#include "HttpClient.h"

#include <QString>
#include <QStringList>
#include <functional>

// The road of one update, from the settings to the stored clip and the words
// the user is told, without any window: the controller drives it, the
// windows only hear what it reports.
namespace update {

enum class Form { Mpeg, Mxf };

// What one update goes by, read from the settings record once, as it starts.
struct Plan {
    QString mpgUrl;
    bool mpgDownload = false;
    QString mxfUrl;
    bool mxfDownload = false;
    bool automaticDownload = false;
    QString folder; // as the record has it; a relative one counts from the working directory
    QString username;
    QString password;
    QString caFile; // an extra authority to trust; empty: the system's store only
};

// Every way an update or one of its requests ends.
enum class Status {
    Refused,      // a check failed before any request
    NoResponse,   // no HTTP response at all
    Stored,       // status 200, the clip stored
    Failed,       // status 200, but the body could not be kept
    Unauthorized, // status 401
    OtherStatus,  // any other status
};

struct Result {
    Status status = Status::Refused;
    // As the user is told it: an alert's headline and text, or a
    // notification's title and body (a refusal is worded for the mode).
    QString title;
    QString message;
    bool alert = true;  // an alert; else a notification
    bool sound = true;  // failures play the alert sound
    QString summary;    // the few words the tray's tooltip keeps
    QString diagnostic; // the line for whoever supports the user; empty on success
    QString storedPath; // the stored clip's full path (Stored only)
};

class Core {
public:
    struct Observer {
        std::function<void()> requestStarted; // the wait image goes up
        // Main thread, once per request: its result, and whether it was the
        // update's last (then `summaries` holds what every request said).
        std::function<void(const Result &, bool lastOfUpdate, const QStringList &summaries)> requestEnded;
    };

    Core(platform::HttpClient &http, platform::ClipChecker &clips, Observer observer);

    // The update's checks; a refusal, or the requests started (MPEG first).
    std::optional<Result> start(const Plan &plan, bool interactive);
    // One request of the update, for the clip of `form` at `url`.
    void request(Form form, const QString &url, const Plan &plan, bool interactive);
    // An update is due soon: the transfer and the clip check get ready.
    void prepare()
    {
        http_.prepare();
        clips_.prepare();
    }

    // How many requests one update makes: 2 when the Settings window has
    // both forms ticked, else 1.
    void setRequestsPerUpdate(qint64 count) { nrOfDownloads_ = count; }
    qint64 requestsPerUpdate() const { return nrOfDownloads_; }
    // Requests of the current update that have ended, whatever their outcome.
    qint64 requestsEnded() const { return downloadCounter_; }
    bool allEnded() const { return downloadCounter_ >= nrOfDownloads_; }

    // The HTTP Basic header for these credentials (RFC 7617, over UTF-8).
    static QString basicAuthorization(const QString &username, const QString &password);

private:
    void ended(const Result &result);

    platform::HttpClient &http_;
    platform::ClipChecker &clips_;
    Observer observer_;
    qint64 nrOfDownloads_ = 1;
    qint64 downloadCounter_ = 0;
    QStringList summaries_; // of the update's requests so far
};

// How a request ended, as the user is told it in this mode.
Result outcomeOf(const platform::HttpResult &result, const QString &url, bool interactive);

} // namespace update
