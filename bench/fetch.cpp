// fetch URL WARMUP-URL USER PASSWORD FOLDER CAFILE: the download benchmark's
// driver, the update core and its HTTPS client without the app around them.
// As in the running app, the first download starts the worker and loads
// FFmpeg; so one small warm-up download goes first, then the timed one, from
// the request to the stored, durable file ("seconds N" on standard output).
#include "ClipCheck.h"
#include "CurlHttpClient.h"
#include "Output.h"
#include "UpdateCore.h"

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
    setLineSink([](std::string_view, Level) {}); // no progress lines
    platform::CurlHttpClient client;
    update::Plan plan;
    plan.username = QString::fromLocal8Bit(argv[3]);
    plan.password = QString::fromLocal8Bit(argv[4]);
    plan.folder = QString::fromLocal8Bit(argv[5]);
    plan.caFile = QString::fromLocal8Bit(argv[6]);
    int status = 1;
    QElapsedTimer clock;
    std::function<void()> then;
    platform::FfmpegClipChecker clips;
    update::Core core(client, clips, {{}, [&](const update::Result &result, bool, const QStringList &) {
                                          status = result.status == update::Status::Stored ? 0 : 1;
                                          if (status)
                                              std::fprintf(stderr, "fetch: %s\n", qPrintable(result.message));
                                          then();
                                      }});
    auto fetch = [&](const char *url, std::function<void()> next) {
        then = std::move(next);
        clock.start();
        core.request(update::Form::Mpeg, QString::fromLocal8Bit(url), plan, false);
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
