// The floor for the start-up benchmark: a Qt program that only shows a tray
// icon, a plain filled pixmap (no resources, no image decoder), with a
// one-item menu.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QPixmap square(22, 22);
    square.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(square)};
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
