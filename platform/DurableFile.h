#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <optional>

namespace platform {

// Replaces a file whole or not at all, as a crash or a power cut may come at
// any point: a temporary file beside it (beside the target, when the path is
// a symbolic link), flushed to disk, renamed over it, and the folder flushed
// so the rename itself is on disk. With `mode` the file gets exactly those
// permissions, else those of the file it replaces. False, with the reason in
// `error`, when it could not be written; the old file is then untouched.
// Where the folder takes no new file, a writable file is written in place.
bool writeDurably(const QString &path, const QByteArray &bytes, std::optional<QFileDevice::Permissions> mode,
                  QString *error = nullptr);

// Flushes a folder's entries (a rename or a new file in it) to disk.
bool syncFolder(const QString &folder);

} // namespace platform
