// The floor for the start-up benchmark: a Qt program that only shows a tray icon.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QSystemTrayIcon tray(QIcon(QStringLiteral(":/images/statusIcon.svg")));
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &application, &QApplication::quit);
    tray.setContextMenu(&menu);
    QTimer::singleShot(0, [&] {
        tray.show();
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return QApplication::exec();
}
