#pragma once

#include "HttpClient.h"
#include "LazyWidgets.h"
#include "Services.h"
#include "StatusItem.h"
#include "TavrelPlist.h"
#include "Timers.h"
#include "UpdateCore.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVariantMap>
#include <memory>

// A text with attributes over ranges of it.
struct AttributedString {
    struct Attribute {
        QString name;
        QVariant value;
        qsizetype location = 0;
        qsizetype length = 0;
    };
    QString text;
    std::vector<Attribute> attributes;
};

// The application's one controller: settings, status item, hourly timer,
// downloads, and every action the user can take.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    const QString aboutUrl;
    const QString aboutCompany;
    const QString aboutAuthor;

    std::unique_ptr<TavrelPlist> settingsPlist;
    std::shared_ptr<platform::RepeatingTimer> timer;
    QVariantMap appSettings;

    // Outlets, filled by the interface.
    QPointer<QWidget> settingsWindow;
    QPointer<QWidget> aboutWindow;
    QPointer<TextField> setUserName;
    QPointer<TextField> setPasssword;
    QPointer<QCheckBox> setDownloadFormatMPEG;
    QPointer<QCheckBox> setDownloadFormatMXF;
    QPointer<TextField> setMinutesAfterHour;
    QPointer<QCheckBox> setAutomaticDownload;
    QPointer<QCheckBox> setStartAtSystemStartUp;
    QPointer<TextField> setLabelFolder;
    QPointer<QPushButton> btnSettingsOk;
    QPointer<QMenu> statusMenu;
    QPointer<QLabel> lblUrlAbout;
    QPointer<QLabel> lblAuthor;
    QPointer<QWidget> aboutView;
    QPointer<QMenu> mainMenuDelegate;

    platform::StatusItem &statusItem;

    static QVariantMap builtInDefaults();

    // Start-up, settings and menu.
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void readFromPlist();
    void writeToPlist();
    void mnuUpdateNow();
    void quitClicked();
    void statusItemClicked();

    // The hourly scheduler.
    void startTimer();
    void stopTimer();
    void fireDownload();
    void sleepListener(const QString &notificationName);

    // Downloads: the road itself is the update core's.
    void downloadFromRemote(bool interactive);
    void getNewsUpdate(const QString &url, bool interactive, update::Form form);
    void CheckAllDone();
    QMap<QString, QString> makeAuthHeader() const;
    const update::Core &updates() const { return update_; }

    // Notifications.
    void showNotification(const QString &title, const QString &body);
    bool userNotificationCenterShouldPresentNotification() const { return true; }

    // Settings window.
    void startSettingsWindow();
    void btnCloseSettings();
    void selectLocalFolder();
    void assignFields();
    void handleAutoStart();

    // About window.
    void startAboutWindow();
    void openUrl();
    void lblUrlAboutOpen();
    // The address as its text: a QUrl would fold its case and decode escapes.
    static AttributedString link_string(const QString &text, const QString &url);
    // Opens an absolute address in the default browser; false when it does not parse.
    static bool openWebAddress(const QString &address);

    // An extra certificate authority for the news server; empty means the
    // system's store only.
    QString certificateAuthorityFile;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void watchForTray();

private:
    update::Plan plan() const;
    update::Core::Observer updateObserver();
    void tell(const update::Result &result);

    // Readers of the record: a missing key, or a value of another kind, reads
    // as the key's built-in default.
    bool switchSetting(const QString &key) const;
    QString textSetting(const QString &key) const;
    QString downloadFolder() const;

    update::Core update_;
    QString lastOutcome_; // the tooltip once an update has ended
    QTimer trayRetry_;
    int trayRetries_ = 0;
    QTimer warmUp_; // before the next firing
};
