// The road of one update: the checks, one request per form, what may be
// stored under which name, and what the user and the log are told.
#include "UpdateCore.h"

#include "DownloadNames.h"
#include "DurableFile.h"
#include "Folders.h"
#include "Output.h"
#include "Services.h"
#include "TavrelUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace update {

namespace {

// What a form may be stored as and must be: nothing but a clip of the
// request's form is ever replaced.
struct FormRules {
    QStringList extensions; // the names a clip of this form may have
    QStringList containers; // FFmpeg's names for the containers it comes in
    QString defaultName;    // when the server suggests no name of the form
};

const FormRules &rulesOf(Form form)
{
    static const FormRules mpeg{{QStringLiteral("mpeg"), QStringLiteral("mpg"), QStringLiteral("mpe"),
                                 QStringLiteral("m2p"), QStringLiteral("vob"), QStringLiteral("ts"),
                                 QStringLiteral("m2ts"), QStringLiteral("mts"), QStringLiteral("m2t")},
                                // program and transport streams, or plain MPEG video
                                {QStringLiteral("mpeg"), QStringLiteral("mpegts"), QStringLiteral("mpegvideo")},
                                QStringLiteral("zandor.mpeg")};
    static const FormRules mxf{{QStringLiteral("mxf")}, {QStringLiteral("mxf")}, QStringLiteral("zandor.mxf")};
    return form == Form::Mxf ? mxf : mpeg;
}

QString folderGone(const QString &folder)
{
    return QStringLiteral("The download folder went away during the download: ") + folder;
}

Result refusal(const QString &reason, bool interactive)
{
    const QString notExecuted = QStringLiteral("Update not Executed");
    Result r;
    r.status = Status::Refused;
    r.title = interactive ? reason : notExecuted;
    r.message = interactive ? notExecuted : reason;
    r.alert = interactive;
    return r;
}

// One line for whoever supports the user: which address, and why, as the
// HTTPS layer says it. Never the credentials.
QString whyItFailed(const QString &url, const platform::HttpResult &result)
{
    static const QRegularExpression userInfo(QStringLiteral("^([a-zA-Z][a-zA-Z0-9+.-]*://)[^/?#@]*@"));
    const QUrl parsed(url);
    // An address QUrl cannot parse is printed as it is, less any credentials.
    const QString address = parsed.isValid() ? parsed.toString(QUrl::RemoveUserInfo)
                                             : QString(url).replace(userInfo, QStringLiteral("\\1"));
    QString cause;
    if (result.response && result.response->statusCode != 200)
        cause = QStringLiteral("status %1 %2").arg(result.response->statusCode).arg(result.response->reason).trimmed();
    else
        cause = result.error.value_or(QStringLiteral("no response"));
    return QStringLiteral("Update from %1 failed: %2").arg(address.isEmpty() ? QStringLiteral("\"\"") : address, cause);
}

} // namespace

Result outcomeOf(const platform::HttpResult &result, const QString &url, bool interactive)
{
    Result r;
    r.alert = interactive;
    if (!result.response) {
        r.status = Status::NoResponse;
        r.title = r.summary = QStringLiteral("Error Connecting");
        r.message = QStringLiteral("Check your Internet Connection");
    } else if (const long status = result.response->statusCode; status == 200 && !result.error) {
        r.status = Status::Stored;
        r.title = QStringLiteral("File Succesfully Received");
        r.message = r.storedPath = result.storedPath;
        r.sound = false;
        r.summary = QFileInfo(result.storedPath).fileName() + QStringLiteral(" received");
        return r;
    } else if (status == 200) {
        r.status = Status::Failed;
        r.title = QStringLiteral("Error");
        r.message = *result.error;
        r.alert = true;
        r.summary = QStringLiteral("Error: ") + *result.error;
    } else if (status == 401) {
        r.status = Status::Unauthorized;
        r.title = r.summary = QStringLiteral("Error Connecting: Unauthorized");
        r.message = interactive ? QStringLiteral("Check your username / password")
                                : QStringLiteral("Check your username / password)");
    } else {
        r.status = Status::OtherStatus;
        r.title = r.summary = QStringLiteral("Error Connecting: %1").arg(status);
        r.message = QStringLiteral("Error: %1").arg(status);
        r.alert = true;
    }
    r.diagnostic = whyItFailed(url, result);
    return r;
}

Core::Core(platform::HttpClient &http, platform::ClipChecker &clips, Observer observer)
    : http_(http), clips_(clips), observer_(std::move(observer))
{
}

std::optional<Result> Core::start(const Plan &plan, bool interactive)
{
    // A new account may have no Documents folder yet: the default is made
    // (with the user's usual mode), any other missing folder refused.
    if (const auto documents = platform::services().folders->firstFolder(platform::DirectoryKind::Documents);
        documents && plan.folder == *documents && !QFileInfo::exists(plan.folder))
        QDir().mkpath(plan.folder);
    const bool folderExists = TavrelUtils::DirectoryExists(QUrl::fromLocalFile(plan.folder));

    if (!plan.mpgDownload && !plan.mxfDownload)
        return refusal(QStringLiteral("Select at least one FileType"), interactive);
    if (!interactive && !plan.automaticDownload)
        return refusal(QStringLiteral("AutoDownload is turned Off"), interactive);
    if (!folderExists)
        return refusal(QStringLiteral("Invalid download directory specified"), interactive);

    downloadCounter_ = 0;
    summaries_.clear();
    if (plan.mpgDownload)
        request(Form::Mpeg, plan.mpgUrl, plan, interactive);
    if (plan.mxfDownload)
        request(Form::Mxf, plan.mxfUrl, plan, interactive);
    return std::nullopt;
}

void Core::request(Form form, const QString &url, const Plan &plan, bool interactive)
{
    if (observer_.requestStarted)
        observer_.requestStarted();
    const FormRules &rules = rulesOf(form);
    const QString folder = QFileInfo(plan.folder).absoluteFilePath();

    // The body goes into a hidden file in the folder itself, so the rename
    // that replaces the old clip never crosses a disk.
    auto created = platform::PartialFile::create(folder, rules.defaultName);
    if (!created) {
        // As a body that could not be kept, told as every outcome is: later.
        const QString why = QFileInfo::exists(folder) ? created.why() : folderGone(folder);
        const platform::HttpResult unkept{platform::HttpResponse{200, {}}, why, {}};
        QTimer::singleShot(0, [this, unkept, url, interactive] { ended(outcomeOf(unkept, url, interactive)); });
        return;
    }
    auto file = std::make_shared<platform::PartialFile>(std::move(*created));

    platform::HttpRequest request;
    request.url = url;
    request.user = plan.username;
    request.password = plan.password;
    request.caFile = plan.caFile;
    request.fd = file->fd();
    request.folder = folder;
    // On the transfer's thread, once the whole body is written: it must be a
    // clip of this form, and it takes a name of this form.
    request.arrived = [file, &rules, clips = &clips_](const platform::Delivery &body) -> platform::Result<QString> {
        if (!file->stillThere())
            return platform::Failure{folderGone(file->folder())};
        if (auto clip = clips->check(file->path(), rules.containers, body.contentType, body.bytes); !clip)
            return platform::Failure{clip.why()};
        const QString name = platform::suggestedFilename(body.contentDisposition, body.effectiveUrl, rules.extensions);
        return file->store(name.isEmpty() ? rules.defaultName : name);
    };
    http_.download(
        request,
        [this](std::int64_t, std::int64_t received, std::int64_t expected) {
            printLine(QStringLiteral("%1 of %2").arg(received).arg(expected));
            // Once the body flows, the transfer's set-up is done: the clip
            // check loads beside it, not in its way (loading takes the
            // loader's lock that new threads and TLS set-up wait for).
            clips_.prepare();
        },
        [this, file, url, interactive](const platform::HttpResult &result) {
            file->discard(); // gone before anyone hears the outcome
            ended(outcomeOf(result, url, interactive));
        });
}

void Core::ended(const Result &result)
{
    ++downloadCounter_;
    summaries_ << result.summary;
    const bool last = allEnded();
    const QStringList summaries = last ? std::exchange(summaries_, {}) : summaries_;
    if (result.status == Status::Failed)
        printLine(result.message, Level::Error);
    if (!result.diagnostic.isEmpty())
        printLine(result.diagnostic, Level::Error);
    if (observer_.requestEnded)
        observer_.requestEnded(result, last, summaries);
}

QString Core::basicAuthorization(const QString &username, const QString &password)
{
    const QString credentials = username + QLatin1Char(':') + password;
    return QStringLiteral("Basic ") + QString::fromLatin1(credentials.toUtf8().toBase64());
}

} // namespace update
