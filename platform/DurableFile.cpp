#include "DurableFile.h"

#include "Descriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

mode_t currentUmask()
{
    // Read without changing it; umask(2) would race with other threads.
    static const mode_t mask = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("Umask:"))
                    return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
        return mode_t(022);
    }();
    return mask;
}

// Where QSaveFile will put the bytes: the end of the chain of links.
QString finalPath(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

} // namespace

Failure failureFromErrno(int error)
{
    return {QString::fromLocal8Bit(std::strerror(error))};
}

Result<> syncFolder(const QString &folder)
{
    const Descriptor dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir || ::fsync(dir.get()) != 0)
        return failureFromErrno(errno);
    return {};
}

Result<> writeDurably(const QString &path, const QByteArray &bytes, std::optional<QFileDevice::Permissions> mode)
{
    QSaveFile file(path); // writes through symbolic links, and flushes before its rename
    // A folder that takes no new file (its owner made it so) but holds a
    // writable file: that file is written in place, as it was before.
    file.setDirectWriteFallback(true);
    // Unbuffered: a write the disk cuts short shows here. Buffered, QSaveFile
    // commits what its final flush managed to write, a truncated file.
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && (!mode || file.setPermissions(*mode)) &&
                    file.write(bytes) == bytes.size() && file.commit();
    if (!ok) {
        const Failure failure{file.errorString()};
        file.cancelWriting();
        return failure;
    }
    syncFolder(QFileInfo(finalPath(path)).absolutePath());
    return {};
}

Result<PartialFile> PartialFile::create(const QString &folder, const QString &name)
{
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.") + name + QStringLiteral(".part-XXXXXX"));
    PartialFile file;
    file.fd_.reset(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!file.fd_)
        return failureFromErrno(errno);
    file.path_ = QFile::decodeName(pattern);
    file.folder_ = folder;
    ::flock(file.fd_.get(), LOCK_EX); // held while we write: the file is not abandoned
    return file;
}

PartialFile::~PartialFile()
{
    discard();
}

void PartialFile::discard()
{
    if (!path_.isEmpty())
        ::unlink(QFile::encodeName(path_).constData());
    path_.clear();
}

bool PartialFile::stillThere() const
{
    struct stat st {};
    return ::fstat(fd_.get(), &st) == 0 && st.st_nlink > 0;
}

// The bytes reach the disk before the name does, and the name before the
// user hears of it: a power cut leaves the old clip or the new one, whole.
Result<QString> PartialFile::store(const QString &name)
{
    ::fchmod(fd_.get(), 0666 & ~currentUmask());
    if (::fdatasync(fd_.get()) != 0 || !fd_.close())
        return failureFromErrno(errno);
    const QString target = QDir(folder_).filePath(name);
    if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target).constData()) != 0)
        return failureFromErrno(errno);
    path_.clear(); // the name is free again: another download may take it now
    syncFolder(folder_);
    return target;
}

} // namespace platform
