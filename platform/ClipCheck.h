#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

// Whether a received file is a clip: something FFmpeg opens with at least one
// audio or video stream, judged from its start only. None when it is; else
// what arrived instead, e.g. "The server sent no clip: text/html, 131 bytes".
// FFmpeg is loaded with the first check, so it costs nothing at start-up.
std::optional<QString> whyNotAClip(const QString &path, const QByteArray &contentType, qint64 size);

} // namespace platform
