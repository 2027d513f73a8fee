// Saves the settings over and over, alternating two records, until killed:
// the crash-safety test's victim.
#include "Folders.h"
#include "Services.h"
#include "System.h"
#include "TavrelPlist.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    platform::DesktopFolders folders;
    platform::SyslogSystemLog systemLog;
    platform::Services services;
    services.folders = &folders;
    services.systemLog = &systemLog;
    platform::ServicesScope scope(services);
    TavrelPlist store(QStringLiteral("appSettings"), platform::DirectoryKind::ApplicationSupport);
    std::printf("saving\n");
    std::fflush(stdout);
    for (qint64 round = 0;; ++round) {
        // Big enough that a write takes a while.
        const QString filler(20000 + int(round % 2) * 20000, QLatin1Char(round % 2 ? 'b' : 'a'));
        store.addDictionary(QStringLiteral("appSettings"),
                            {{QStringLiteral("round"), round % 2}, {QStringLiteral("filler"), filler}});
    }
}
