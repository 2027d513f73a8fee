#include "AppDelegate.h"

#include "Application.h"
#include "Dialogs.h"
#include "DownloadNames.h"
#include "DueTime.h"
#include "Folders.h"
#include "Helpers.h"
#include "Notifier.h"
#include "Output.h"
#include "SleepWatcher.h"
#include "TavrelExtensions.h"
#include "TavrelUtils.h"
#include "osxLaunchAtStartup.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QTimeZone>
#include <algorithm>
#include <charconv>

using platform::services;

namespace {

const QString kAppSettings = QStringLiteral("appSettings");
const QString kMpgUrl = QStringLiteral("mpg_url");
const QString kMpgDownload = QStringLiteral("mpg_download");
const QString kMxfUrl = QStringLiteral("mxf_url");
const QString kMxfDownload = QStringLiteral("mxf_download");
const QString kUsername = QStringLiteral("username");
const QString kPassword = QStringLiteral("password");
const QString kMinutesAfterHour = QStringLiteral("minutes_after_hour");
const QString kDownloadFilePath = QStringLiteral("downloadfilepath");
const QString kStartAtStartup = QStringLiteral("start_at_startup");
const QString kAutomaticDownload = QStringLiteral("automatic_download");

// The names a clip of each form may have; nothing else is ever replaced.
const QStringList kMpegExtensions{QStringLiteral("mpeg"), QStringLiteral("mpg"), QStringLiteral("mpe"),
                                  QStringLiteral("m2p"),  QStringLiteral("vob"), QStringLiteral("ts"),
                                  QStringLiteral("m2ts"), QStringLiteral("mts"), QStringLiteral("m2t")};
const QStringList kMxfExtensions{QStringLiteral("mxf")};

const QString kNewsServer = QStringLiteral("https://news.zandor.example");

constexpr std::chrono::hours kOneHour{1};
constexpr int kTrayRetryMs = 5000;
constexpr int kTrayRetries = 6;

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

} // namespace

AppDelegate::AppDelegate()
    : aboutUrl(QStringLiteral("https://tavrel.example/")), aboutCompany(QStringLiteral("Tavrel Software")),
      aboutAuthor(QString()), appSettings(builtInDefaults()), statusItem(*services().statusItem)
{
    trayRetry_.setInterval(kTrayRetryMs);
    connect(&trayRetry_, &QTimer::timeout, this, &AppDelegate::watchForTray);
}

AppDelegate::~AppDelegate() = default;

QVariantMap AppDelegate::builtInDefaults()
{
    return {
        {kMpgUrl, kNewsServer + QStringLiteral("/zandor/zandor.mpeg")},
        {kMpgDownload, true},
        {kMxfUrl, kNewsServer + QStringLiteral("/zandor/zandor.mxf")},
        {kMxfDownload, false},
        {kUsername, QString()},
        {kPassword, QString()},
        {kMinutesAfterHour, QStringLiteral("5")},
        {kDownloadFilePath, QString()},
        {kStartAtStartup, true},
        {kAutomaticDownload, true},
    };
}

bool AppDelegate::switchSetting(const QString &key) const
{
    const QVariant value = appSettings.value(key);
    if (!isNumber(value))
        return builtInDefaults().value(key).toBool();
    return value.toDouble() != 0.0;
}

QString AppDelegate::textSetting(const QString &key) const
{
    const QVariant value = appSettings.value(key);
    // A number typed into the file by hand (20 rather than "20") means its decimal text.
    if (key == kMinutesAfterHour && isNumber(value) && value.typeId() != QMetaType::Bool)
        return value.typeId() == QMetaType::Double ? QString::number(value.toDouble(), 'g', 17) : value.toString();
    if (value.typeId() != QMetaType::QString)
        return builtInDefaults().value(key).toString();
    return value.toString();
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
    // Notifications are always presented (userNotificationCenterShouldPresentNotification).
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

    if (!statusItem.isShownInTray())
        trayRetry_.start();
}

// A panel may come up after us at login, and some desktops have no tray at
// all: wait a little, then make sure the user can still reach the app.
void AppDelegate::watchForTray()
{
    if (!trayRetry_.isActive())
        return;
    if (statusItem.isShownInTray()) {
        trayRetry_.stop();
        return;
    }
    if (++trayRetries_ < kTrayRetries)
        return;
    trayRetry_.stop();
    showNotification(QStringLiteral("ZandorUpdate is running"),
                     QStringLiteral("No system tray was found. The hourly update still runs; the settings are "
                                    "in the window shown now."));
    startSettingsWindow();
}

void AppDelegate::applicationWillTerminate() {}

void AppDelegate::readFromPlist()
{
    const QVariant stored = settingsPlist ? settingsPlist->getMutItems().value(kAppSettings) : QVariant();
    if (stored.typeId() != QMetaType::QVariantMap) {
        ShowInfoMessageModal(QStringLiteral("Error"), QStringLiteral("Error Reading Application Settings File"), false);
        return;
    }
    const QVariantMap values = stored.toMap();
    auto take = [&](const QString &key) {
        if (values.contains(key))
            appSettings.insert(key, values.value(key));
        else
            appSettings.remove(key);
    };
    for (const QString &key :
         {kMpgUrl, kMpgDownload, kMxfUrl, kMxfDownload, kUsername, kPassword, kMinutesAfterHour, kDownloadFilePath})
        take(key);
    if (appSettings.value(kDownloadFilePath).typeId() == QMetaType::QString &&
        appSettings.value(kDownloadFilePath).toString().isEmpty())
        appSettings.insert(kDownloadFilePath,
                           services().folders->firstFolder(platform::DirectoryKind::Documents).value_or(QString()));
    take(kStartAtStartup);
    take(kAutomaticDownload);
    assignFields();
}

void AppDelegate::writeToPlist()
{
    auto text = [&](const QString &key, TextField *field) {
        if (field)
            appSettings.insert(key, field->text());
    };
    auto state = [&](const QString &key, QCheckBox *box) {
        if (box)
            appSettings.insert(key, qint64(box->isChecked() ? 1 : 0));
    };
    text(kUsername, setUserName);
    text(kPassword, setPasssword);
    state(kMpgDownload, setDownloadFormatMPEG);
    state(kMxfDownload, setDownloadFormatMXF);
    text(kMinutesAfterHour, setMinutesAfterHour);
    text(kDownloadFilePath, setLabelFolder);
    state(kStartAtStartup, setStartAtSystemStartUp);
    state(kAutomaticDownload, setAutomaticDownload);
    if (settingsPlist)
        settingsPlist->addDictionary(kAppSettings, appSettings);
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
    if (lastOutcome_.isEmpty())
        statusItem.setToolTip(QStringLiteral("ZandorUpdate — next update at ") +
                              TavrelExtensions::toShortTimeString(due->when));
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

// ---- Downloads -------------------------------------------------------------

void AppDelegate::downloadFromRemote(bool interactive)
{
    const QString mpgUrl = textSetting(kMpgUrl);
    const bool mpg = switchSetting(kMpgDownload);
    const QString mxfUrl = textSetting(kMxfUrl);
    const bool mxf = switchSetting(kMxfDownload);
    const bool automatic = switchSetting(kAutomaticDownload);
    const QString folder = textSetting(kDownloadFilePath);
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
    request.defaultName = mxfForm ? QStringLiteral("zandor.mxf") : QStringLiteral("zandor.mpeg");
    request.caFile = certificateAuthorityFile;

    services().http->download(
        request,
        [](std::int64_t, std::int64_t received, std::int64_t expected) {
            printLine(QStringLiteral("%1 of %2").arg(received).arg(expected));
        },
        [this, interactive](const platform::HttpResult &result) {
            ++downloadCounter;
            CheckAllDone();
            tellInToolTip(result);
            reportOutcome(result, interactive);
        });
}

void AppDelegate::reportOutcome(const platform::HttpResult &result, bool interactive)
{
    auto tell = [&](const QString &title, const QString &text, bool sound) {
        if (interactive)
            ShowInfoMessageModal(title, text, sound);
        else
            showNotification(title, text);
    };
    if (!result.response)
        return tell(QStringLiteral("Error Connecting"), QStringLiteral("Check your Internet Connection"), true);

    const long status = result.response->statusCode;
    if (status == 200 && !result.error)
        return tell(QStringLiteral("File Succesfully Received"), result.storedPath, false);
    if (status == 200) {
        printLine(*result.error);
        return ShowInfoMessageModal(QStringLiteral("Error"), *result.error, true);
    }
    if (status == 401) {
        const QString text = interactive ? QStringLiteral("Check your username / password")
                                         : QStringLiteral("Check your username / password)");
        return tell(QStringLiteral("Error Connecting: Unauthorized"), text, true);
    }
    ShowInfoMessageModal(QStringLiteral("Error Connecting: %1").arg(status), QStringLiteral("Error: %1").arg(status),
                         true);
}

// The tray's tooltip: how the update ended, as soon as its last request has.
void AppDelegate::tellInToolTip(const platform::HttpResult &result)
{
    QString outcome;
    if (!result.response)
        outcome = QStringLiteral("Error Connecting");
    else if (const long status = result.response->statusCode; status == 200 && !result.error)
        outcome = QFileInfo(result.storedPath).fileName() + QStringLiteral(" received");
    else if (status == 200)
        outcome = QStringLiteral("Error: ") + *result.error;
    else if (status == 401)
        outcome = QStringLiteral("Error Connecting: Unauthorized");
    else
        outcome = QStringLiteral("Error Connecting: %1").arg(status);
    pendingOutcomes_ << outcome;
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

// ---- Notifications ---------------------------------------------------------

void AppDelegate::showNotification(const QString &title, const QString &body)
{
    services().notifier->post(title, body);
}

// ---- Settings window -------------------------------------------------------

namespace {

void bringToFront(QWidget *window)
{
    if (!window)
        return;
    // Centred first: the layout gives the window its real size before it shows.
    window->ensurePolished();
    Section::prepareToShow(window);
    if (window->layout())
        window->layout()->activate();
    if (QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->setWindowOpacity(1.0);
    window->show();
    window->raise();
    window->activateWindow();
    services().application->activateIgnoringOtherApps();
}

} // namespace

void AppDelegate::startSettingsWindow()
{
    bringToFront(settingsWindow);
}

void AppDelegate::btnCloseSettings()
{
    writeToPlist();
    readFromPlist();
    startTimer();
    if (settingsWindow)
        settingsWindow->hide();
}

void AppDelegate::selectLocalFolder()
{
    if (const auto url = TavrelExtensions::selectDir(); url && setLabelFolder)
        setLabelFolder->setText(url->toLocalFile());
}

void AppDelegate::assignFields()
{
    auto text = [&](TextField *field, const QString &key) {
        if (field)
            field->setText(textSetting(key));
    };
    auto state = [&](QCheckBox *box, const QString &key) {
        if (box)
            box->setChecked(switchSetting(key)); // non-zero is on, as for every other reader
    };
    text(setUserName, kUsername);
    text(setPasssword, kPassword);
    state(setDownloadFormatMPEG, kMpgDownload);
    state(setDownloadFormatMXF, kMxfDownload);
    text(setMinutesAfterHour, kMinutesAfterHour);
    text(setLabelFolder, kDownloadFilePath);
    state(setStartAtSystemStartUp, kStartAtStartup);
    state(setAutomaticDownload, kAutomaticDownload);

    const bool mpeg = setDownloadFormatMPEG && setDownloadFormatMPEG->isChecked();
    nrOfDownloads = mpeg && setDownloadFormatMXF && setDownloadFormatMXF->isChecked() ? 2 : 1;
    handleAutoStart();
}

void AppDelegate::handleAutoStart()
{
    const bool wanted = setStartAtSystemStartUp && setStartAtSystemStartUp->isChecked();
    if (wanted && !applicationIsInStartUpItems())
        toggleLaunchAtStartup();
    else if (!wanted && applicationIsInStartUpItems())
        toggleLaunchAtStartup();
}

// ---- About window ----------------------------------------------------------

void AppDelegate::startAboutWindow()
{
    bringToFront(aboutWindow);
}

bool AppDelegate::openWebAddress(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    services().urlOpener->open(url); // what the browser makes of it is its business
    return true;
}

void AppDelegate::openUrl()
{
    openWebAddress(aboutUrl);
}

void AppDelegate::lblUrlAboutOpen()
{
    openUrl();
}

AttributedString AppDelegate::link_string(const QString &text, const QString &url)
{
    AttributedString link{text, {}};
    const qsizetype length = text.size();
    link.attributes.push_back({QStringLiteral("link"), url, 0, length});
    link.attributes.push_back({QStringLiteral("foregroundColor"), QColor(Qt::blue), 0, length});
    link.attributes.push_back({QStringLiteral("underlineStyle"), 1, 0, length});
    return link;
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // The event type first: the label is only looked at while it is whole.
    if (event->type() == QEvent::MouseButtonRelease && watched == lblUrlAbout.data()) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && lblUrlAbout->rect().contains(mouse->position().toPoint())) {
            openUrl();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
