// AppDelegate: what the user sees besides the tray icon: notifications, the
// Settings window and the About window.
#include "AppDelegate.h"

#include "Application.h"
#include "Dialogs.h"
#include "LazyWidgets.h"
#include "Notifier.h"
#include "SettingsRecord.h"
#include "TavrelExtensions.h"
#include "osxLaunchAtStartup.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>

using platform::services;

// ---- Notifications ---------------------------------------------------------

void AppDelegate::showNotification(const QString &title, const QString &body)
{
    // Always yes, even while one of our windows has the focus: this hour's clip is news.
    if (userNotificationCenterShouldPresentNotification())
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
    // As large as its contents, no larger: tiling compositors float such a
    // window instead of stretching it over the screen.
    if (window->layout()) {
        window->layout()->setSizeConstraint(QLayout::SetFixedSize);
        window->layout()->activate();
    }
    // Centred the first time; afterwards where it was (or where the user
    // put it): a window manager's frame, known only after the first show,
    // would otherwise move it a little each time.
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen && !window->property("zu_placed").toBool()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
        window->setProperty("zu_placed", true);
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
    // The chooser opens where the clips go now.
    const QString current = setLabelFolder ? setLabelFolder->text() : QString();
    if (const auto url = TavrelExtensions::selectDir(current); url && setLabelFolder)
        setLabelFolder->setText(url->toLocalFile());
}

void AppDelegate::assignFields()
{
    for (const settings::Field *field : settings::rows()) {
        if (const auto *text = std::get_if<settings::TextControl>(&field->control); text && this->**text)
            (this->**text)->setText(textSetting(field->key));
        // A check box shows any non-zero number as on, as every other reader takes it.
        if (const auto *box = std::get_if<settings::SwitchControl>(&field->control); box && this->**box)
            (this->**box)->setChecked(switchSetting(field->key));
    }
    // From the record the boxes now show: the same count with or without the window.
    const bool both = switchSetting(settings::kMpgDownload) && switchSetting(settings::kMxfDownload);
    update_.setRequestsPerUpdate(both ? 2 : 1);
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
    if (event->type() == QEvent::KeyPress && watched == lblUrlAbout.data()) {
        // The link by keyboard: Return, Enter or Space, as on a button.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            openUrl();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && watched == lblUrlAbout.data()) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && lblUrlAbout->rect().contains(mouse->position().toPoint())) {
            openUrl();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
