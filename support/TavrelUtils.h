#pragma once

#include "TavrelLogger.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

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
};
