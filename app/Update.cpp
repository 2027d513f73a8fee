// AppDelegate: the road of one update, from the menu or the hourly timer to
// the stored clip and what the user is told.
#include "AppDelegate.h"

#include "Helpers.h"
#include "Output.h"
#include "SettingsRecord.h"
#include "TavrelExtensions.h"
#include "TavrelUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using platform::services;
using namespace settings;

namespace {

// The names a clip of each form may have; nothing else is ever replaced.
const QStringList kMpegExtensions{QStringLiteral("mpeg"), QStringLiteral("mpg"), QStringLiteral("mpe"),
                                  QStringLiteral("m2p"),  QStringLiteral("vob"), QStringLiteral("ts"),
                                  QStringLiteral("m2ts"), QStringLiteral("mts"), QStringLiteral("m2t")};
const QStringList kMxfExtensions{QStringLiteral("mxf")};
// The containers (FFmpeg's names) a clip of each form comes in: MPEG program
// and transport streams, or plain MPEG video; MXF.
const QStringList kMpegFormats{QStringLiteral("mpeg"), QStringLiteral("mpegts"), QStringLiteral("mpegvideo")};
const QStringList kMxfFormats{QStringLiteral("mxf")};

} // namespace

void AppDelegate::downloadFromRemote(bool interactive)
{
    const QString mpgUrl = textSetting(kMpgUrl);
    const bool mpg = switchSetting(kMpgDownload);
    const QString mxfUrl = textSetting(kMxfUrl);
    const bool mxf = switchSetting(kMxfDownload);
    const bool automatic = switchSetting(kAutomaticDownload);
    const QString folder = textSetting(kDownloadFilePath);
    // A new account may have no Documents folder yet: the default is made
    // (with the user's usual mode), any other missing folder refused.
    if (const auto documents = services().folders->firstFolder(platform::DirectoryKind::Documents);
        documents && folder == *documents && !QFileInfo::exists(folder))
        QDir().mkpath(folder);
    const bool folderExists = TavrelUtils::DirectoryExists(QUrl::fromLocalFile(folder));

    const QString notExecuted = QStringLiteral("Update not Executed");
    auto refuse = [&](const QString &reason) {
        if (interactive)
            ShowInfoMessageModal(reason, notExecuted, true);
        else
            showNotification(notExecuted, reason);
    };
    if (!mpg && !mxf)
        return refuse(QStringLiteral("Select at least one FileType"));
    if (!interactive && !automatic)
        return refuse(QStringLiteral("AutoDownload is turned Off"));
    if (!folderExists)
        return refuse(QStringLiteral("Invalid download directory specified"));

    downloadCounter = 0;
    pendingOutcomes_.clear();
    if (mpg)
        getNewsUpdate(mpgUrl, interactive);
    if (mxf)
        getNewsUpdate(mxfUrl, interactive);
}

void AppDelegate::getNewsUpdate(const QString &url, bool interactive)
{
    const QString folder = downloadFolder();

    QIcon wait = platform::namedImage(QStringLiteral("statusWait"));
    if (!wait.isNull())
        wait.setIsMask(false); // its own colours, not the panel's tint
    statusItem.setImage(wait);
    statusItem.setToolTip(QStringLiteral("Updating…"));

    // The form decides which names may be replaced: only clips of that form.
    const bool mxfForm = url == textSetting(kMxfUrl) && url != textSetting(kMpgUrl);
    platform::HttpRequest request;
    request.url = url;
    request.user = textSetting(kUsername);
    request.password = textSetting(kPassword);
    request.folder = folder;
    request.clipExtensions = mxfForm ? kMxfExtensions : kMpegExtensions;
    request.clipFormats = mxfForm ? kMxfFormats : kMpegFormats;
    request.defaultName = mxfForm ? QStringLiteral("zandor.mxf") : QStringLiteral("zandor.mpeg");
    request.caFile = certificateAuthorityFile;

    services().http->download(
        request,
        [](std::int64_t, std::int64_t received, std::int64_t expected) {
            printLine(QStringLiteral("%1 of %2").arg(received).arg(expected));
        },
        [this, interactive, url](const platform::HttpResult &result) {
            ++downloadCounter;
            CheckAllDone();
            reportOutcome(url, result, interactive);
        });
}

namespace {

// How one request ended, as the user is told it.
struct Outcome {
    QString title;
    QString text;
    bool sound = true;        // failures play the alert sound
    bool alwaysAlert = false; // an alert even in unattended mode
    QString summary;          // the few words the tray's tooltip keeps
};

Outcome outcomeOf(const platform::HttpResult &result, bool interactive)
{
    if (!result.response)
        return {QStringLiteral("Error Connecting"), QStringLiteral("Check your Internet Connection"), true, false,
                QStringLiteral("Error Connecting")};
    const long status = result.response->statusCode;
    if (status == 200 && !result.error)
        return {QStringLiteral("File Succesfully Received"), result.storedPath, false, false,
                QFileInfo(result.storedPath).fileName() + QStringLiteral(" received")};
    if (status == 200)
        return {QStringLiteral("Error"), *result.error, true, true, QStringLiteral("Error: ") + *result.error};
    if (status == 401) {
        const QString title = QStringLiteral("Error Connecting: Unauthorized");
        return {title,
                interactive ? QStringLiteral("Check your username / password")
                            : QStringLiteral("Check your username / password)"),
                true, false, title};
    }
    const QString title = QStringLiteral("Error Connecting: %1").arg(status);
    return {title, QStringLiteral("Error: %1").arg(status), true, true, title};
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

void AppDelegate::reportOutcome(const QString &url, const platform::HttpResult &result, bool interactive)
{
    const Outcome outcome = outcomeOf(result, interactive);
    tellInToolTip(outcome.summary);
    if (result.response && result.response->statusCode == 200 && result.error)
        printLine(*result.error);
    if (!result.response || result.response->statusCode != 200 || result.error)
        printLine(whyItFailed(url, result));
    if (interactive || outcome.alwaysAlert)
        ShowInfoMessageModal(outcome.title, outcome.text, outcome.sound);
    else
        showNotification(outcome.title, outcome.text);
}

// The tray's tooltip: how the update ended, as soon as its last request has.
void AppDelegate::tellInToolTip(const QString &summary)
{
    pendingOutcomes_ << summary;
    if (downloadCounter < nrOfDownloads)
        return;
    lastOutcome_ = TavrelExtensions::toShortTimeString(services().clock->now()) + QStringLiteral(" — ") +
                   pendingOutcomes_.join(QStringLiteral(", "));
    pendingOutcomes_.clear();
    statusItem.setToolTip(lastOutcome_);
}

void AppDelegate::CheckAllDone()
{
    if (downloadCounter >= nrOfDownloads)
        statusItem.setImage(platform::namedImage(QStringLiteral("statusIcon")));
}

QMap<QString, QString> AppDelegate::makeAuthHeader() const
{
    const QString credentials = textSetting(kUsername) + QLatin1Char(':') + textSetting(kPassword);
    return {{QStringLiteral("Authorization"),
             QStringLiteral("Basic ") + QString::fromLatin1(credentials.toUtf8().toBase64())}};
}
