// clipcheck FILE: how long the download's clip check takes on a file, the
// first call (which loads FFmpeg) and the best of ten after it.
#include "ClipCheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: clipcheck FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const qint64 size = QFileInfo(path).size();
    using Clock = std::chrono::steady_clock;
    auto once = [&] {
        const auto start = Clock::now();
        const bool clip =
            bool(platform::checkClip(path, {"mpeg", "mpegts", "mpegvideo", "mxf"}, "application/octet-stream", size));
        return std::make_pair(std::chrono::duration<double, std::milli>(Clock::now() - start).count(), clip);
    };
    const auto [first, clip] = once();
    double best = 1e9;
    for (int i = 0; i < 10; ++i)
        best = std::min(best, once().first);
    std::printf("%s: first %.1f ms (loads FFmpeg), then %.2f ms\n", clip ? "a clip" : "no clip", first, best);
    return 0;
}
