#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// The per-user folder kinds the program asks for; the numbers match the
// search-path codes the settings code and the helpers were written against.
enum class DirectoryKind {
    Desktop = 12,
    Documents = 9,
    ApplicationSupport = 14,
    Downloads = 15,
    Movies = 17,
    Music = 18,
    Pictures = 19,
};

// The system's configuration folders, most important first: the absolute
// ones in $XDG_CONFIG_DIRS, or /etc/xdg when it is empty.
QStringList systemConfigFolders();

// Per-user folders and what the app knows about itself.
class Folders {
public:
    virtual ~Folders() = default;
    // First folder of a kind in the user's own domain, or none.
    virtual std::optional<QString> firstFolder(DirectoryKind kind) const = 0;
    // Path of the resource `name`.`type` among the app's resources, or none.
    // A property list (a settings template) may be set for every user in
    // $XDG_CONFIG_DIRS/zandorupdate/, which comes first.
    virtual std::optional<QString> resourcePath(const QString &name, const QString &type) const = 0;
    virtual QString bundleName() const = 0;
    // The running executable.
    virtual QString bundlePath() const = 0;
};

// XDG folders; resources from the installed data folder, or from the
// build tree when the app runs from there.
class DesktopFolders final : public Folders {
public:
    // An empty resourcesDir means: find it from the executable's location.
    explicit DesktopFolders(QString resourcesDir = {});
    std::optional<QString> firstFolder(DirectoryKind kind) const override;
    std::optional<QString> resourcePath(const QString &name, const QString &type) const override;
    QString bundleName() const override;
    QString bundlePath() const override;

    static QString defaultResourcesDir();

private:
    QString resourcesDir_;
};

} // namespace platform
