#pragma once

#include "Descriptor.h"
#include "Result.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <optional>

namespace platform {

// Replaces a file whole or not at all, as a crash or a power cut may come at
// any point: a temporary file beside it (beside the target, when the path is
// a symbolic link), flushed to disk, renamed over it, and the folder flushed
// so the rename itself is on disk. With `mode` the file gets exactly those
// permissions, else those of the file it replaces. On failure the old file is
// untouched. Where the folder takes no new file, a writable file is written
// in place.
Result<> writeDurably(const QString &path, const QByteArray &bytes, std::optional<QFileDevice::Permissions> mode);

// Flushes a folder's entries (a rename or a new file in it) to disk.
Result<> syncFolder(const QString &folder);

// A download's hidden file in the folder it will be stored in,
// ".<name>.part-XXXXXX", locked while we hold it (so a clean-up at start
// leaves it alone) and removed when it goes unless it was stored.
class PartialFile {
public:
    static Result<PartialFile> create(const QString &folder, const QString &name);
    PartialFile(PartialFile &&) noexcept = default;
    PartialFile &operator=(PartialFile &&) noexcept = default;
    ~PartialFile();

    int fd() const { return fd_.get(); }
    const QString &path() const { return path_; }
    const QString &folder() const { return folder_; }
    // False once its folder (and with it the file) was removed.
    bool stillThere() const;
    // Makes it the file `name` in its folder, replacing one of that name:
    // an ordinary file's mode, its bytes flushed, renamed, the folder flushed.
    Result<QString> store(const QString &name);
    // Removes it now (nothing once stored).
    void discard();

private:
    PartialFile() = default;
    Descriptor fd_;
    QString path_;
    QString folder_;
};

} // namespace platform
