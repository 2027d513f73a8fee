// fetch URL USER PASSWORD FOLDER CAFILE: one download with the app's HTTPS
// client, as the download benchmark's driver.
#include "HttpClient.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: fetch URL USER PASSWORD FOLDER CAFILE\n");
        return 2;
    }
    platform::CurlHttpClient client;
    platform::HttpRequest request;
    request.url = QString::fromLocal8Bit(argv[1]);
    request.user = QString::fromLocal8Bit(argv[2]);
    request.password = QString::fromLocal8Bit(argv[3]);
    request.folder = QString::fromLocal8Bit(argv[4]);
    request.defaultName = QStringLiteral("fetched");
    request.caFile = QString::fromLocal8Bit(argv[5]);
    int status = 1;
    client.download(request, {}, [&](const platform::HttpResult &result) {
        status = result.response && result.response->statusCode == 200 && !result.error ? 0 : 1;
        if (result.error)
            std::fprintf(stderr, "fetch: %s\n", qPrintable(*result.error));
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    return status;
}
