// AppDelegate's side of an update: it reads the settings, hands them to the
// update core, and shows what the core reports (icon, tooltip, alerts and
// notifications).
#include "AppDelegate.h"

#include "Helpers.h"
#include "SettingsRecord.h"
#include "TavrelExtensions.h"

#include <QFileInfo>

using platform::services;
using namespace settings;

update::Plan AppDelegate::plan() const
{
    update::Plan p;
    p.mpgUrl = textSetting(kMpgUrl);
    p.mpgDownload = switchSetting(kMpgDownload);
    p.mxfUrl = textSetting(kMxfUrl);
    p.mxfDownload = switchSetting(kMxfDownload);
    p.automaticDownload = switchSetting(kAutomaticDownload);
    p.folder = textSetting(kDownloadFilePath);
    p.username = textSetting(kUsername);
    p.password = textSetting(kPassword);
    p.caFile = certificateAuthorityFile;
    return p;
}

void AppDelegate::downloadFromRemote(bool interactive)
{
    if (const auto refused = update_.start(plan(), interactive))
        tell(*refused);
}

void AppDelegate::getNewsUpdate(const QString &url, bool interactive, update::Form form)
{
    update_.request(form, url, plan(), interactive);
}

void AppDelegate::CheckAllDone()
{
    if (update_.allEnded())
        statusItem.setImage(platform::namedImage(QStringLiteral("statusIcon")));
}

QMap<QString, QString> AppDelegate::makeAuthHeader() const
{
    return {{QStringLiteral("Authorization"),
             update::Core::basicAuthorization(textSetting(kUsername), textSetting(kPassword))}};
}

update::Core::Observer AppDelegate::updateObserver()
{
    return {[this] {
                QIcon wait = platform::namedImage(QStringLiteral("statusWait"));
                if (!wait.isNull())
                    wait.setIsMask(false); // its own colours, not the panel's tint
                statusItem.setImage(wait);
                statusItem.setToolTip(QStringLiteral("Updating…"));
            },
            [this](const update::Result &result, bool lastOfUpdate, const QStringList &summaries) {
                CheckAllDone();
                // The tray's tooltip: how the update ended, once its last request has.
                if (lastOfUpdate) {
                    lastOutcome_ = TavrelExtensions::toShortTimeString(services().clock->now()) +
                                   QStringLiteral(" — ") + summaries.join(QStringLiteral(", "));
                    statusItem.setToolTip(lastOutcome_);
                }
                tell(result);
            }};
}

void AppDelegate::tell(const update::Result &result)
{
    if (result.alert)
        ShowInfoMessageModal(result.title, result.message, result.sound);
    else
        showNotification(result.title, result.message);
}
