#pragma once

#include "TavrelLogger.h"

#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// File, folder and media helpers. Class-level and stateless; failures come
// back as false or an empty result plus one printed line.
class TavrelUtils : public TavrelSuper {
public:
    // Keys of getFileAttributes().
    static inline const QString FileSizeKey = QStringLiteral("FileSize");
    static inline const QString FileTypeKey = QStringLiteral("FileType");
    static inline const QString FilePermissionsKey = QStringLiteral("FilePosixPermissions");
    static inline const QString FileModificationDateKey = QStringLiteral("FileModificationDate");

    // Values of FileTypeKey.
    static inline const QString FileTypeRegular = QStringLiteral("FileTypeRegular");
    static inline const QString FileTypeDirectory = QStringLiteral("FileTypeDirectory");
    static inline const QString FileTypeSymbolicLink = QStringLiteral("FileTypeSymbolicLink");
    static inline const QString FileTypeSocket = QStringLiteral("FileTypeSocket");
    static inline const QString FileTypeCharacterSpecial = QStringLiteral("FileTypeCharacterSpecial");
    static inline const QString FileTypeBlockSpecial = QStringLiteral("FileTypeBlockSpecial");
    static inline const QString FileTypeNamedPipe = QStringLiteral("FileTypeNamedPipe");
    static inline const QString FileTypeUnknown = QStringLiteral("FileTypeUnknown");

    // An item of any kind exists at the path.
    static bool FileExists(const QString &path);
    // An item exists at the URL's path and it is a folder.
    static bool DirectoryExists(const QUrl &url);
    static bool isDir(const QUrl &url);
    // The URL's resource is reachable (a link is followed).
    static bool urlExists(const QUrl &url);
    // Removes the item (a folder with its contents).
    static bool deleteFile(const QUrl &url);
    static QVariantMap getFileAttributes(const QUrl &url);

    // A folder's own entries (hidden ones too), in the order the file
    // system gives them.
    static std::vector<QUrl> getFileListFromDirectory(const QUrl &url);

    struct FileListEntry {
        QString shortName; // the entry's file name
        QUrl fullName;
    };
    static constexpr bool kSkipSubDirectories = true; // what callers normally want
    // The entries that are not hidden; without the sub-folders when asked.
    static std::vector<FileListEntry> getFileListFromDirectory(const QUrl &url, bool skipSubDirectories);

    struct MediaFileInfo {
        std::optional<QUrl> urlName;
        bool urlExists = false;
        quint64 urlSize = 0;
        QString urlType;
        QString urlPath;
        QString urlExtenstion;
        QString shortFileName;
        qint64 lengthInMs = 0;
        float frameRate = -1.0f;
        qint64 frameCount = -1;
        qint64 audioNumberOfChannels = 0;
        qint64 audioLength = 0;
        double audioSampleRate = 0.0;
        bool isPlayable = false;
        bool hasAudio = false;
        bool hasVideo = false;
        std::vector<std::map<QString, QString>> commonMetaData;
    };

    static MediaFileInfo getFileMediaInfo(const QUrl &url);
    // The picture size as displayed (rotation applied); none without video.
    static std::optional<QSizeF> resolutionSizeForLocalVideo(const QUrl &url);
    // Playing time in milliseconds; (-1, false) for a file without tracks.
    std::pair<qint64, bool> getLengthVideo(const QUrl &url) const;
};
