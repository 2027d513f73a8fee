#include "Activation.h"
#include "AppDelegate.h"
#include "Application.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "LoginItems.h"
#include "MainInterface.h"
#include "Notifier.h"
#include "Output.h"
#include "SleepWatcher.h"
#include "System.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

int main(int argc, char *argv[])
{
    if (const auto status = answerCommandLine(argc, argv))
        return *status;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZandorUpdate"));
    QApplication::setDesktopFileName(QStringLiteral("zandorupdate"));
    // A tray app: closing its windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const platform::SessionEndSignals sessionEnd;

    // One instance per user: autostart and a manual start must not both fetch.
    // The kernel drops the lock when the process ends, crash or not.
    const QByteArray lockPath = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                                                  QStringLiteral("/zandorupdate.lock"));
    const int instance = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (instance >= 0 && ::flock(instance, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        platform::InstanceActivation::activateRunning(
            QDBusConnection::sessionBus()); // its Settings window comes forward
        printLine(std::string_view("ZandorUpdate is already running"));
        return 0;
    }

    platform::DesktopFolders folders;
    platform::TrayStatusItem statusItem(QDBusConnection::sessionBus());
    platform::QtAlerts alerts;
    platform::CanberraAlertSound alertSound;
    // Notifications name the installed icon, whose PNGs every daemon can
    // draw (not all load SVG); run from the build tree, the PNG itself.
    const auto iconFile =
        folders.resourcePath(QStringLiteral("icons/hicolor/128x128/apps/zandorupdate"), QStringLiteral("png"));
    const QString icon = iconFile ? QUrl::fromLocalFile(*iconFile).toString() : QStringLiteral("zandorupdate");
    platform::PopupNotifier popups;
    platform::DBusNotifier notifier(QDBusConnection::sessionBus(), &popups, icon,
                                    [&alertSound] { alertSound.playNotificationSound(); });
    platform::SyslogSystemLog systemLog;
    platform::LazyClipChecker clips;
    // Gone before the clip check: until its thread is joined, a body that
    // just arrived may be in that check.
    platform::LazyHttpClient http;
    platform::SystemClock clock;
    platform::WallClockTimers timers;
    platform::LogindSleepWatcher sleepWatcher(QDBusConnection::systemBus());
    platform::AutostartLoginItems loginItems;
    platform::DesktopUrlOpener urlOpener;
    platform::QtFileChooser fileChooser;
    platform::QtApplication app;
    platform::ServicesScope services({.folders = &folders,
                                      .statusItem = &statusItem,
                                      .alerts = &alerts,
                                      .alertSound = &alertSound,
                                      .notifier = &notifier,
                                      .systemLog = &systemLog,
                                      .http = &http,
                                      .clips = &clips,
                                      .clock = &clock,
                                      .timers = &timers,
                                      .sleepWatcher = &sleepWatcher,
                                      .loginItems = &loginItems,
                                      .urlOpener = &urlOpener,
                                      .fileChooser = &fileChooser,
                                      .application = &app});

    AppDelegate delegate;
#ifdef ZU_TEST_TRUST
    delegate.certificateAuthorityFile = qEnvironmentVariable("ZANDORUPDATE_TEST_CA");
#endif
    MainInterface interface(delegate);
    const platform::InstanceActivation activation(QDBusConnection::sessionBus(),
                                                  [&delegate] { delegate.startSettingsWindow(); });
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
