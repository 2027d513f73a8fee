#pragma once

#include "HttpClient.h"
#include "Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// Whether a received file is a clip of the form asked for: a container of
// one of `formats` (FFmpeg's demuxer names, e.g. "mpeg", "mpegts", "mxf")
// with at least one audio or video stream whose first frames decode, judged
// from its start only. When it is not, the failure says what arrived
// instead, e.g. "The server sent no clip: text/html, 131 bytes".
Result<> checkClip(const QString &path, const QStringList &formats, const QByteArray &contentType, qint64 size);

// The check for whoever links FFmpeg directly (the tests, the benchmarks).
class FfmpegClipChecker final : public ClipChecker {
public:
    Result<> check(const QString &path, const QStringList &formats, const QByteArray &contentType,
                   std::int64_t size) override
    {
        return checkClip(path, formats, contentType, size);
    }
};

} // namespace platform
