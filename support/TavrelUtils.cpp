#include "TavrelUtils.h"

#include "MediaAsset.h"
#include "Output.h"
#include "Services.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The item a file location names: "link/" is the link itself, not the
// folder behind it, and "file/" the file.
QString itemPath(const QUrl &url)
{
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

fs::path localPath(const QUrl &url)
{
    return fs::path(QFile::encodeName(itemPath(url)).toStdString());
}

QString describe(const std::error_code &error, const QUrl &url)
{
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(error.message()), itemPath(url));
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
    // The look-up gives the cause when there is nothing to remove: missing,
    // a loop, a long name, a folder we may not enter.
    else if ((void)fs::symlink_status(path, error); !error)
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
    if (!url.isLocalFile() || ::lstat(localPath(url).c_str(), &st) != 0) {
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

namespace {

// Seconds as whole milliseconds, truncated; none when that is no number.
std::optional<qint64> truncatedMs(double seconds)
{
    const double ms = seconds * 1000.0;
    if (!std::isfinite(ms) || ms >= 9.2e18 || ms <= -9.2e18)
        return std::nullopt;
    return qint64(ms);
}

std::optional<platform::MediaAsset> inspect(const QUrl &url, bool precise)
{
    if (!url.isLocalFile())
        return std::nullopt;
    return platform::services().media->inspect(url.toLocalFile(), precise);
}

} // namespace

std::vector<QUrl> TavrelUtils::getFileListFromDirectory(const QUrl &url)
{
    std::vector<QUrl> entries;
    std::error_code error;
    for (fs::directory_iterator it(localPath(url), error), end; !error && it != end; it.increment(error))
        entries.push_back(QUrl::fromLocalFile(QFile::decodeName(it->path().c_str())));
    if (error) {
        printLine(describe(error, url));
        return {};
    }
    return entries;
}

std::vector<TavrelUtils::FileListEntry> TavrelUtils::getFileListFromDirectory(const QUrl &url, bool skipSubDirectories)
{
    std::vector<FileListEntry> entries;
    std::error_code error;
    for (fs::directory_iterator it(localPath(url), error), end; !error && it != end; it.increment(error)) {
        const QString path = QFile::decodeName(it->path().c_str());
        const QUrl fullName = QUrl::fromLocalFile(path);
        const QString shortName = fullName.fileName();
        if (shortName.startsWith(QLatin1Char('.')))
            continue; // hidden
        if (!skipSubDirectories || !DirectoryExists(fullName))
            entries.push_back({shortName, fullName});
    }
    if (error) {
        printLine(describe(error, url));
        return {};
    }
    return entries;
}

TavrelUtils::MediaFileInfo TavrelUtils::getFileMediaInfo(const QUrl &url)
{
    MediaFileInfo info;
    // Another kind of location still names a path: its type is all we tell.
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    if (path.isEmpty() || !FileExists(path))
        return info;
    const QVariantMap attributes = getFileAttributes(QUrl::fromLocalFile(path));
    info.urlType = attributes.value(FileTypeKey).toString();
    info.urlExists = url.isLocalFile();
    if (!info.urlExists)
        return info;
    info.urlSize = attributes.value(FileSizeKey).toULongLong();
    info.urlName = url;
    const QUrl item = url.adjusted(QUrl::StripTrailingSlash); // "…/folder/" is the folder
    info.shortFileName = item.fileName();
    info.urlPath = item.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash).toLocalFile();
    const qsizetype dot = info.shortFileName.lastIndexOf(QLatin1Char('.'));
    info.urlExtenstion = dot > 0 ? info.shortFileName.mid(dot + 1) : QString();

    const auto asset = inspect(url, true);
    info.isPlayable = asset && asset->isPlayable;
    if (!info.isPlayable)
        return info;

    const platform::MediaTrack *video = nullptr;
    const platform::MediaTrack *audio = nullptr;
    for (const auto &track : asset->tracks) {
        if (track.kind == platform::TrackKind::Video && !video)
            video = &track;
        if (track.kind == platform::TrackKind::Audio && !audio)
            audio = &track;
    }
    info.hasVideo = video;
    info.hasAudio = audio;
    // An unknown or endless duration leaves the initial values.
    const auto ms = truncatedMs(asset->durationSeconds);
    info.lengthInMs = ms.value_or(0);
    if (video) {
        info.frameRate = video->nominalFrameRate;
        const double frames = double(video->nominalFrameRate) * asset->durationSeconds;
        if (ms && std::isfinite(frames))
            info.frameCount = qint64(frames);
    }
    if (audio) {
        info.audioSampleRate = audio->sampleRate;
        info.audioLength = audio->lengthInSampleFrames;
        info.audioNumberOfChannels = audio->channels;
    }
    for (const auto &[key, value] : asset->metadata)
        info.commonMetaData.push_back({{key, value}});
    return info;
}

std::optional<QSizeF> TavrelUtils::resolutionSizeForLocalVideo(const QUrl &url)
{
    const auto asset = inspect(url, false);
    if (!asset)
        return std::nullopt;
    for (const auto &track : asset->tracks) {
        if (track.kind != platform::TrackKind::Video)
            continue;
        const double radians = track.rotationDegrees * M_PI / 180.0;
        const double c = std::cos(radians), s = std::sin(radians);
        // The transformed size, made positive.
        return QSizeF(std::round(std::abs(track.width * c - track.height * s)),
                      std::round(std::abs(track.width * s + track.height * c)));
    }
    return std::nullopt;
}

std::pair<qint64, bool> TavrelUtils::getLengthVideo(const QUrl &url) const
{
    const auto asset = inspect(url, false);
    if (!asset || asset->tracks.empty())
        return {-1, false};
    const auto ms = truncatedMs(asset->durationSeconds);
    if (!ms)
        return {-1, false}; // no length to give
    return {*ms, true};
}
