// zandor-mediainfo FILE...: each file's media description as JSON, one
// object per line.
#include "MediaAsset.h"
#include "MediaInfoJson.h"
#include "Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: zandor-mediainfo FILE...\n");
        return 2;
    }
    platform::FfmpegMediaInspector media;
    platform::Services services;
    services.media = &media;
    platform::ServicesScope scope(services);
    for (int i = 1; i < argc; ++i) {
        const QString path = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[i]));
        const QByteArray json = QJsonDocument(toJson(TavrelUtils::getFileMediaInfo(QUrl::fromLocalFile(path))))
                                    .toJson(QJsonDocument::Compact);
        std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
