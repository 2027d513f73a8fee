#include "AppDelegate.h"

#include "Application.h"
#include "DownloadNames.h"
#include "DueTime.h"
#include "Folders.h"
#include "Helpers.h"
#include "Output.h"
#include "SettingsRecord.h"
#include "SleepWatcher.h"
#include "TavrelExtensions.h"

#include <QFileInfo>
#include <QTimeZone>
#include <algorithm>
#include <limits>

using platform::services;
using namespace settings;

namespace {

constexpr std::chrono::hours kOneHour{1};
constexpr int kTrayRetryMs = 5000;
constexpr int kTrayRetries = 6;
constexpr qint64 kWarmUpMs = 60'000;
constexpr qint64 kWarmUpAtLeastMs = 2'000;

} // namespace

AppDelegate::AppDelegate()
    : aboutUrl(QStringLiteral("https://tavrel.example/")), aboutCompany(QStringLiteral("Tavrel Software")),
      aboutAuthor(QString()), appSettings(builtInDefaults()), statusItem(*services().statusItem),
      update_(*services().http, *services().clips, updateObserver())
{
    trayRetry_.setInterval(kTrayRetryMs);
    connect(&trayRetry_, &QTimer::timeout, this, &AppDelegate::watchForTray);
    warmUp_.setSingleShot(true);
    connect(&warmUp_, &QTimer::timeout, this, [this] { update_.prepare(); });
}

AppDelegate::~AppDelegate() = default;

QVariantMap AppDelegate::builtInDefaults()
{
    return settings::builtInDefaults();
}

bool AppDelegate::switchSetting(const QString &key) const
{
    return settings::switchValue(appSettings, key);
}

QString AppDelegate::textSetting(const QString &key) const
{
    return settings::textValue(appSettings, key);
}

// A relative folder counts from the working directory, as a file URL made
// from the path would; outcomes name the full path.
QString AppDelegate::downloadFolder() const
{
    return QFileInfo(textSetting(kDownloadFilePath)).absoluteFilePath();
}

// ---- Start-up, settings and menu -------------------------------------------

void AppDelegate::applicationDidFinishLaunching()
{
    auto &s = services();
    s.sleepWatcher->subscribe(platform::kWillSleepNotification, [this](const QString &name) { sleepListener(name); });
    s.sleepWatcher->subscribe(platform::kDidWakeNotification, [this](const QString &name) { sleepListener(name); });

    if (lblUrlAbout) {
        QPalette palette = lblUrlAbout->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        lblUrlAbout->setPalette(palette);
    }
    if (lblAuthor)
        lblAuthor->setText(aboutAuthor);
    if (lblUrlAbout) {
        lblUrlAbout->setText(aboutCompany);
        lblUrlAbout->installEventFilter(this); // the click recogniser: primary button only
    }

    s.application->setIcon(platform::namedImage(QStringLiteral("AppIcon")));
    statusItem.setImage(platform::namedImage(QStringLiteral("statusIcon")));

    settingsPlist =
        std::make_unique<TavrelPlist>(QStringLiteral("appSettings"), platform::DirectoryKind::ApplicationSupport);
    readFromPlist();
    // Partial downloads that a crash or a power cut left behind.
    platform::removeAbandonedPartialDownloads(downloadFolder());

    statusItem.setMenu(statusMenu);
    statusItem.setClickAction([this] { statusItemClicked(); });
    startTimer();

    // A tray that never came, or went away later (a panel that crashed):
    // the same wait, then the same way back to the app. Whether it is there
    // is asked at the ticks only: a panel that went from the bus still owns
    // its XEmbed tray for a moment, and an XEmbed tray goes unannounced.
    statusItem.setTrayChangedAction([this] {
        if (!trayRetry_.isActive()) {
            trayRetries_ = 0;
            trayRetry_.start();
        }
    });
    trayRetry_.start();
}

// A panel may come up after us at login, and some desktops have no tray at
// all: wait a little, then make sure the user can still reach the app.
void AppDelegate::watchForTray()
{
    if (!trayRetry_.isActive())
        return;
    if (statusItem.isShownInTray()) {
        trayRetries_ = 0; // watching on: it may still go unannounced
        return;
    }
    if (++trayRetries_ < kTrayRetries)
        return;
    trayRetry_.stop();
    startSettingsWindow(); // first, so that the notice is placed clear of it
    showNotification(QStringLiteral("ZandorUpdate is running"),
                     QStringLiteral("No system tray was found. The hourly update still runs; the settings are "
                                    "in the window shown now, and starting ZandorUpdate again brings them back. "
                                    "On GNOME, the AppIndicator extension (gnome-shell-extension-appindicator) "
                                    "adds a tray."));
}

void AppDelegate::applicationWillTerminate() {}

void AppDelegate::readFromPlist()
{
    const QVariant stored = settingsPlist ? settingsPlist->getMutItems().value(kRecordKey) : QVariant();
    if (stored.typeId() != QMetaType::QVariantMap) {
        ShowInfoMessageModal(QStringLiteral("Error"), QStringLiteral("Error Reading Application Settings File"), false);
        return;
    }
    const QVariantMap values = stored.toMap();
    // Each key as the file has it, kind unchanged; a key it lacks goes.
    for (const settings::Field &field : settings::fields()) {
        if (values.contains(field.key))
            appSettings.insert(field.key, values.value(field.key));
        else
            appSettings.remove(field.key);
    }
    // No folder chosen yet: the documents folder (saved with the next OK).
    const QVariant folder = appSettings.value(kDownloadFilePath);
    if (folder.typeId() == QMetaType::QString && folder.toString().isEmpty())
        appSettings.insert(kDownloadFilePath,
                           services().folders->firstFolder(platform::DirectoryKind::Documents).value_or(QString()));
    assignFields();
}

void AppDelegate::writeToPlist()
{
    for (const settings::Field *field : settings::rows()) {
        if (const auto *text = std::get_if<settings::TextControl>(&field->control); text && this->**text)
            appSettings.insert(field->key, (this->**text)->text());
        if (const auto *box = std::get_if<settings::SwitchControl>(&field->control); box && this->**box)
            appSettings.insert(field->key, qint64((this->**box)->isChecked() ? 1 : 0));
    }
    if (settingsPlist)
        settingsPlist->addDictionary(kRecordKey, appSettings);
    readFromPlist();
}

void AppDelegate::mnuUpdateNow()
{
    downloadFromRemote(true);
}

void AppDelegate::quitClicked()
{
    services().application->terminate();
}

void AppDelegate::statusItemClicked() {}

// ---- The hourly scheduler ---------------------------------------------------

void AppDelegate::startTimer()
{
    // A first start: nothing can be fetched before the user signs in.
    if (lastOutcome_.isEmpty() && textSetting(kUsername).isEmpty())
        statusItem.setToolTip(QStringLiteral("ZandorUpdate — Open Settings… to enter your user name and password"));
    const bool automatic = switchSetting(kAutomaticDownload);
    if (timer)
        timer->invalidate();
    if (!automatic) {
        showNotification(QStringLiteral("Download not Executed"), QStringLiteral("AutoDownload is turned Off"));
        return;
    }
    if (!appSettings.contains(kMinutesAfterHour)) {
        showNotification(QStringLiteral("Download not Executed"),
                         QStringLiteral("No \"minutes after the hour\" is set"));
        return;
    }
    const QString minutesText = textSetting(kMinutesAfterHour);
    const auto minutes = due::parseMinutes(minutesText);
    const auto outOfRange = [&] {
        showNotification(QStringLiteral("Download not Executed"),
                         QStringLiteral("\"Minutes after the hour\" is out of range: \"%1\"").arg(minutesText));
    };
    if (std::holds_alternative<due::MinutesError>(minutes)) {
        if (std::get<due::MinutesError>(minutes) == due::MinutesError::OutOfRange)
            return outOfRange();
        showNotification(QStringLiteral("Download not Executed"),
                         QStringLiteral("\"Minutes after the hour\" is not a whole number: \"%1\"").arg(minutesText));
        return;
    }

    const QDateTime split = services().clock->now();
    const QDateTime now = services().clock->now();
    const auto due = due::dueTime(split, now, std::get<qint64>(minutes), QTimeZone::systemTimeZone());
    if (!due)
        return outOfRange();
    printLine((due->thisHour ? QStringLiteral("duedate this hour=") : QStringLiteral("duedate next hour=")) +
              due::utcText(due->when));
    if (lastOutcome_.isEmpty() && !textSetting(kUsername).isEmpty())
        statusItem.setToolTip(QStringLiteral("ZandorUpdate — next update at ") +
                              TavrelExtensions::toShortTimeString(due->when));
    // The transfer and the clip check are loaded a minute before the firing,
    // so that it starts at once; a firing due now loads them itself, as it
    // needs them (loading beside its start would slow it).
    if (const qint64 lead = now.msecsTo(due->when); lead > kWarmUpAtLeastMs)
        warmUp_.start(int(std::clamp<qint64>(lead - kWarmUpMs, 0, std::numeric_limits<int>::max())));
    timer = services().timers->scheduleRepeating(due->when, kOneHour,
                                                 {[this] { fireDownload(); },
                                                  // the clock was set: re-arm from it, as at wake
                                                  [this] { startTimer(); }});
}

void AppDelegate::stopTimer()
{
    if (timer)
        timer->invalidate();
}

void AppDelegate::fireDownload()
{
    downloadFromRemote(false);
}

void AppDelegate::sleepListener(const QString &notificationName)
{
    if (notificationName == platform::kWillSleepNotification)
        stopTimer();
    else if (notificationName == platform::kDidWakeNotification)
        startTimer();
    else
        printLine(std::string_view("Some other event other than the first two"));
}
