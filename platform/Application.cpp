#include "Application.h"

#include <QApplication>
#include <QWidget>

namespace platform {

void QtApplication::setIcon(const QIcon &icon)
{
    QApplication::setWindowIcon(icon);
}

void QtApplication::activateIgnoringOtherApps()
{
    if (QWidget *window =
            QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow())
        window->activateWindow();
}

void QtApplication::terminate()
{
    QApplication::quit();
}

} // namespace platform
