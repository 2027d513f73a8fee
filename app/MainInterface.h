#pragma once

#include "LazyWidgets.h"

#include <QMenu>
#include <QWidget>
#include <memory>

class AppDelegate;
class AboutViewController;
class WindowSettings;
namespace Ui {
class SettingsWindow;
class AboutWindow;
} // namespace Ui

// The interface resource: the status menu and the Settings and About windows,
// built from the Designer files and connected to the controller's outlets
// and actions.
class MainInterface {
public:
    explicit MainInterface(AppDelegate &delegate);
    ~MainInterface();

    QWidget &settingsWindow() { return settingsWindow_; }
    QWidget &aboutWindow() { return aboutWindow_; }
    QMenu &statusMenu() { return statusMenu_; }

private:
    QMenu statusMenu_;
    DialogWindow settingsWindow_;
    DialogWindow aboutWindow_;
    std::unique_ptr<Ui::SettingsWindow> settingsUi_;
    std::unique_ptr<Ui::AboutWindow> aboutUi_;
    std::unique_ptr<WindowSettings> windowSettings_;
    std::unique_ptr<AboutViewController> aboutViewController_;
};
