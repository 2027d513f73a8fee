#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// Whether a received file is a clip of the form asked for: a container of
// one of `formats` (FFmpeg's demuxer names, e.g. "mpeg", "mpegts", "mxf")
// with at least one audio or video stream whose first frames decode, judged
// from its start only. None when it is; else what arrived instead, e.g.
// "The server sent no clip: text/html, 131 bytes".
std::optional<QString> whyNotAClip(const QString &path, const QStringList &formats, const QByteArray &contentType,
                                   qint64 size);

} // namespace platform
