// fetch URL WARMUP-URL USER PASSWORD FOLDER CAFILE: the download benchmark's
// driver. As in the running app, the first download starts the worker and
// loads FFmpeg; so one small warm-up download goes first, then the timed one,
// from the request to the stored file ("seconds N" on standard output).
#include "CurlHttpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: fetch URL WARMUP-URL USER PASSWORD FOLDER CAFILE\n");
        return 2;
    }
    platform::CurlHttpClient client;
    platform::HttpRequest request;
    request.user = QString::fromLocal8Bit(argv[3]);
    request.password = QString::fromLocal8Bit(argv[4]);
    request.folder = QString::fromLocal8Bit(argv[5]);
    request.defaultName = QStringLiteral("fetched");
    request.clipFormats = {QStringLiteral("mpeg"), QStringLiteral("mpegts"),
                           QStringLiteral("mxf")}; // as the app checks
    request.caFile = QString::fromLocal8Bit(argv[6]);
    int status = 1;
    QElapsedTimer clock;
    auto fetch = [&](const char *url, auto then) {
        request.url = QString::fromLocal8Bit(url);
        clock.start();
        client.download(request, {}, [&, then](const platform::HttpResult &result) {
            status = result.response && result.response->statusCode == 200 && !result.error ? 0 : 1;
            if (result.error)
                std::fprintf(stderr, "fetch: %s\n", qPrintable(*result.error));
            then();
        });
    };
    fetch(argv[2], [&] {
        fetch(argv[1], [&] {
            std::printf("seconds %.6f\n", double(clock.nsecsElapsed()) / 1e9);
            QCoreApplication::quit();
        });
    });
    QCoreApplication::exec();
    return status;
}
