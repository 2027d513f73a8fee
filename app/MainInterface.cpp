#include "MainInterface.h"

#include "AboutViewController.h"
#include "AppDelegate.h"
#include "WindowSettings.h"
#include "ui_AboutWindow.h"
#include "ui_SettingsWindow.h"

#include <QApplication>

MainInterface::MainInterface(AppDelegate &delegate)
    : settingsUi_(std::make_unique<Ui::SettingsWindow>()), aboutUi_(std::make_unique<Ui::AboutWindow>()),
      windowSettings_(std::make_unique<WindowSettings>()), aboutViewController_(std::make_unique<AboutViewController>())
{
    statusMenu_.setObjectName(QStringLiteral("statusMenu"));
    QObject::connect(statusMenu_.addAction(QStringLiteral("Update Now")), &QAction::triggered, &delegate,
                     [&delegate] { delegate.mnuUpdateNow(); });
    statusMenu_.addSeparator();
    QObject::connect(statusMenu_.addAction(QStringLiteral("Settings…")), &QAction::triggered, &delegate,
                     [&delegate] { delegate.startSettingsWindow(); });
    QObject::connect(statusMenu_.addAction(QStringLiteral("About ZandorUpdate…")), &QAction::triggered, &delegate,
                     [&delegate] { delegate.startAboutWindow(); });
    statusMenu_.addSeparator();
    QObject::connect(statusMenu_.addAction(QStringLiteral("Quit ZandorUpdate")), &QAction::triggered, &delegate,
                     [&delegate] { delegate.quitClicked(); });

    settingsUi_->setupUi(&settingsWindow_);
    windowSettings_->windowDidLoad();
    aboutUi_->setupUi(&aboutWindow_);
    aboutViewController_->viewDidLoad();

    delegate.statusMenu = &statusMenu_;
    delegate.settingsWindow = &settingsWindow_;
    delegate.setUserName = settingsUi_->setUserName;
    delegate.setPasssword = settingsUi_->setPasssword;
    delegate.setDownloadFormatMPEG = settingsUi_->setDownloadFormatMPEG;
    delegate.setDownloadFormatMXF = settingsUi_->setDownloadFormatMXF;
    delegate.setMinutesAfterHour = settingsUi_->setMinutesAfterHour;
    delegate.setAutomaticDownload = settingsUi_->setAutomaticDownload;
    delegate.setStartAtSystemStartUp = settingsUi_->setStartAtSystemStartUp;
    delegate.setLabelFolder = settingsUi_->setLabelFolder;
    delegate.btnSettingsOk = settingsUi_->btnSettingsOk;
    delegate.aboutWindow = &aboutWindow_;
    delegate.aboutView = aboutUi_->aboutView;
    delegate.lblUrlAbout = aboutUi_->lblUrlAbout;
    delegate.lblAuthor = aboutUi_->lblAuthor;

    // The keyboard walks the window as it reads: top to bottom, left to right.
    const auto &ui = *settingsUi_;
    settingsWindow_.setReadingOrder({
        {ui.serverGroup, {}, QStringLiteral("Your account on the news server and the forms of clip to fetch"), false},
        {ui.scheduleGroup, {}, QStringLiteral("When the clip is fetched, and starting at login"), false},
        {ui.folderGroup, {}, QStringLiteral("Where the clip is stored"), false},
        {ui.setUserName, QStringLiteral("User name"), QStringLiteral("The user name the news server asks for")},
        {ui.setPasssword, QStringLiteral("Password"), QStringLiteral("The password the news server asks for")},
        {ui.setDownloadFormatMPEG, QStringLiteral("MPEG"), QStringLiteral("Fetch the clip as an MPEG file")},
        {ui.setDownloadFormatMXF, QStringLiteral("MXF"), QStringLiteral("Fetch the clip as an MXF file")},
        {ui.setMinutesAfterHour, QStringLiteral("Minutes after the hour"),
         QStringLiteral("The minute of each hour at which the latest clip is fetched")},
        {ui.setAutomaticDownload, QStringLiteral("Download automatically every hour"),
         QStringLiteral("Fetch the clip every hour without being asked")},
        {ui.setStartAtSystemStartUp, QStringLiteral("Start ZandorUpdate at login"),
         QStringLiteral("Start ZandorUpdate when you log in")},
        {ui.setLabelFolder, QStringLiteral("Download folder"),
         QStringLiteral("The folder the clip is stored in, replacing the previous one")},
        {ui.btnChooseFolder, QStringLiteral("Choose download folder"),
         QStringLiteral("Choose the folder the clip is stored in")},
        {ui.btnSettingsOk, QStringLiteral("OK"), QStringLiteral("Save the settings and close the window")},
    });
    settingsWindow_.setDefaultButton(ui.btnSettingsOk);
    aboutWindow_.setReadingOrder({
        {aboutUi_->lblIcon, QStringLiteral("ZandorUpdate icon"), {}, false},
        {aboutUi_->lblUrlAbout, {}, QStringLiteral("The maker's web site; Return or a click opens it in the browser")},
    });
    aboutWindow_.setOnFirstShow([icon = aboutUi_->lblIcon] { icon->setPixmap(QApplication::windowIcon().pixmap(64)); });

    QObject::connect(settingsUi_->btnSettingsOk, &QPushButton::clicked, &delegate,
                     [&delegate] { delegate.btnCloseSettings(); });
    QObject::connect(settingsUi_->btnChooseFolder, &QPushButton::clicked, &delegate,
                     [&delegate] { delegate.selectLocalFolder(); });
}

MainInterface::~MainInterface() = default;
