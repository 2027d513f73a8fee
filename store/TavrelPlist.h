#pragma once

#include "Folders.h"
#include "TavrelLogger.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <optional>

enum class PlistError { FileNotWritten = 0, FileDoesNotExist = 1 };

// The case's own name, e.g. "FileNotWritten".
const char *plistErrorName(PlistError error);

// One property-list file in a per-user folder, seeded from the template of
// the same name among the app's resources.
struct Plist {
    QString name;
    platform::DirectoryKind searchPathDirectory;
    QString appName; // the app's own sub-folder; empty for none

    // In the documents folder, no sub-folder; creates no folder.
    static std::optional<Plist> make(const QString &name);
    // In the app's folder under `directory`, created when missing.
    static std::optional<Plist> make(const QString &name, platform::DirectoryKind directory);

    std::optional<QString> sourcePath() const;
    std::optional<QString> destPath() const;

    std::optional<QVariantMap> getValuesInPlistFile() const;
    std::optional<QVariantMap> getMutablePlistFile() const { return getValuesInPlistFile(); }
    // Replaces the working file's contents; throws PlistError.
    void addValuesToPlistFile(const QVariantMap &dictionary) const;
    QString getDestPath() const { return destPath().value_or(QString()); }

    // Before a save replaces a file that exists but does not parse: keep its
    // bytes beside it. True when such a copy was made.
    bool keepUnreadableCopy() const;

private:
    static std::optional<Plist> finish(Plist plist);
};

class TavrelPlist : public TavrelSuper {
public:
    struct PlistResponse {
        bool success = false;
        QString messsage;
    };

    explicit TavrelPlist(const QString &pListFileName);
    TavrelPlist(const QString &pListFileName, platform::DirectoryKind intoDirectory);

    std::optional<QString> pFile;
    std::optional<Plist> pList;
    std::optional<PlistResponse> plistResponse;

    bool addDictionary(const QString &key, const QVariantMap &dictionary);
    bool addArray(const QString &key, const QVariantList &arrayItems);
    bool deleteItem(const QString &key);
    bool itemExists(const QString &key) const;
    QVariantMap getItems() const;
    QVariantMap getMutItems() const;
    // Empty when the store is not open.
    QString getPlistPath() const;

private:
    // Read the whole root, change it, write it back.
    bool modify(const std::function<void(QVariantMap &)> &change);
    bool save(const QVariantMap &root);
};
