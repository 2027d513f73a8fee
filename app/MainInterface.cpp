#include "MainInterface.h"

#include "AboutViewController.h"
#include "AppDelegate.h"
#include "WindowSettings.h"
#include "ui_AboutWindow.h"
#include "ui_SettingsWindow.h"

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
    settingsWindow_.setReadingOrder({ui.setUserName, ui.setPasssword, ui.setDownloadFormatMPEG, ui.setDownloadFormatMXF,
                                     ui.setMinutesAfterHour, ui.setAutomaticDownload, ui.setStartAtSystemStartUp,
                                     ui.setLabelFolder, ui.btnChooseFolder, ui.btnSettingsOk});
    settingsWindow_.setDefaultButton(ui.btnSettingsOk);
    aboutWindow_.setReadingOrder({aboutUi_->lblUrlAbout});

    QObject::connect(settingsUi_->btnSettingsOk, &QPushButton::clicked, &delegate,
                     [&delegate] { delegate.btnCloseSettings(); });
    QObject::connect(settingsUi_->btnChooseFolder, &QPushButton::clicked, &delegate,
                     [&delegate] { delegate.selectLocalFolder(); });
}

MainInterface::~MainInterface() = default;
