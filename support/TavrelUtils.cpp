#include "TavrelUtils.h"

#include "Output.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

fs::path localPath(const QUrl &url)
{
    return fs::path(QFile::encodeName(url.toLocalFile()).toStdString());
}

QString describe(const std::error_code &error, const QUrl &url)
{
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(error.message()), url.toLocalFile());
}

QString typeName(mode_t mode)
{
    if (S_ISREG(mode))
        return TavrelUtils::FileTypeRegular;
    if (S_ISDIR(mode))
        return TavrelUtils::FileTypeDirectory;
    if (S_ISLNK(mode))
        return TavrelUtils::FileTypeSymbolicLink;
    if (S_ISSOCK(mode))
        return TavrelUtils::FileTypeSocket;
    if (S_ISCHR(mode))
        return TavrelUtils::FileTypeCharacterSpecial;
    if (S_ISBLK(mode))
        return TavrelUtils::FileTypeBlockSpecial;
    if (S_ISFIFO(mode))
        return TavrelUtils::FileTypeNamedPipe;
    return TavrelUtils::FileTypeUnknown;
}

} // namespace

bool TavrelUtils::FileExists(const QString &path)
{
    std::error_code error;
    return fs::exists(fs::path(QFile::encodeName(path).toStdString()), error);
}

bool TavrelUtils::DirectoryExists(const QUrl &url)
{
    if (!url.isLocalFile())
        return false;
    std::error_code error;
    return fs::is_directory(localPath(url), error);
}

bool TavrelUtils::isDir(const QUrl &url)
{
    return DirectoryExists(url);
}

bool TavrelUtils::urlExists(const QUrl &url)
{
    if (!url.isLocalFile())
        return false;
    std::error_code error;
    return fs::exists(localPath(url), error);
}

bool TavrelUtils::deleteFile(const QUrl &url)
{
    std::error_code error;
    const fs::path path = localPath(url);
    if (!url.isLocalFile())
        error = std::make_error_code(std::errc::invalid_argument);
    else if (!fs::exists(fs::symlink_status(path, error)))
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    else
        fs::remove_all(path, error);
    if (error) {
        printLine(QStringLiteral("Ooops! Something went wrong: ") + describe(error, url));
        return false;
    }
    return true;
}

QVariantMap TavrelUtils::getFileAttributes(const QUrl &url)
{
    struct stat st {};
    if (!url.isLocalFile() || ::lstat(QFile::encodeName(url.toLocalFile()).constData(), &st) != 0) {
        const std::error_code error(url.isLocalFile() ? errno : EINVAL, std::generic_category());
        printLine(QStringLiteral("Error: ") + describe(error, url));
        return {};
    }
    return {
        {FileSizeKey, quint64(st.st_size)},
        {FileTypeKey, typeName(st.st_mode)},
        {FilePermissionsKey, int(st.st_mode & 07777)},
        {FileModificationDateKey, QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec)},
    };
}
