#include "DurableFile.h"

#include "Descriptor.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>

namespace platform {

namespace {

// Where QSaveFile will put the bytes: the end of the chain of links.
QString finalPath(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

} // namespace

bool syncFolder(const QString &folder)
{
    const Descriptor dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir && ::fsync(dir.get()) == 0;
}

bool writeDurably(const QString &path, const QByteArray &bytes, std::optional<QFileDevice::Permissions> mode,
                  QString *error)
{
    QSaveFile file(path); // writes through symbolic links, and flushes before its rename
    // A folder that takes no new file (its owner made it so) but holds a
    // writable file: that file is written in place, as it was before.
    file.setDirectWriteFallback(true);
    const bool ok = file.open(QIODevice::WriteOnly) && (!mode || file.setPermissions(*mode)) &&
                    file.write(bytes) == bytes.size() && file.commit();
    if (!ok) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    syncFolder(QFileInfo(finalPath(path)).absolutePath());
    return true;
}

} // namespace platform
