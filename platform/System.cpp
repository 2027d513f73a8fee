#include "System.h"

#include <QApplication>
#include <QWidget>
#include <syslog.h>

namespace platform {

SyslogSystemLog::SyslogSystemLog()
{
    openlog("ZandorUpdate", LOG_PID, LOG_USER);
}

SyslogSystemLog::~SyslogSystemLog()
{
    closelog();
}

void SyslogSystemLog::write(const QString &message)
{
    syslog(LOG_ERR, "%s", message.toUtf8().constData());
}

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
