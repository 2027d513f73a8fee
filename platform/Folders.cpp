#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString writable(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

QString executablePath()
{
    // Works before (or without) a QCoreApplication.
    QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.canonicalFilePath();
    return target.isEmpty() ? QCoreApplication::applicationFilePath() : target;
}

} // namespace

QStringList systemConfigFolders()
{
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        return {QStringLiteral("/etc/xdg")};
    QStringList folders;
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) // a relative one would depend on where we were started
            folders << dir;
    return folders;
}

DesktopFolders::DesktopFolders(QString resourcesDir) : resourcesDir_(std::move(resourcesDir))
{
    if (resourcesDir_.isEmpty())
        resourcesDir_ = defaultResourcesDir();
}

QString DesktopFolders::defaultResourcesDir()
{
    const QDir binDir = QFileInfo(executablePath()).dir();
    const QString installed = QDir::cleanPath(binDir.filePath(QStringLiteral("../" ZU_DATA_SUBDIR)));
    if (QFileInfo(installed + QStringLiteral("/appSettings.plist")).exists())
        return installed;
    return QStringLiteral(ZU_BUILD_RESOURCES_DIR);
}

std::optional<QString> DesktopFolders::firstFolder(DirectoryKind kind) const
{
    QString path;
    switch (kind) {
    case DirectoryKind::ApplicationSupport:
        // $XDG_DATA_HOME, or ~/.local/share.
        path = writable(QStandardPaths::GenericDataLocation);
        break;
    case DirectoryKind::Documents:
        path = writable(QStandardPaths::DocumentsLocation);
        break;
    case DirectoryKind::Desktop:
        path = writable(QStandardPaths::DesktopLocation);
        break;
    case DirectoryKind::Downloads:
        path = writable(QStandardPaths::DownloadLocation);
        break;
    case DirectoryKind::Movies:
        path = writable(QStandardPaths::MoviesLocation);
        break;
    case DirectoryKind::Music:
        path = writable(QStandardPaths::MusicLocation);
        break;
    case DirectoryKind::Pictures:
        path = writable(QStandardPaths::PicturesLocation);
        break;
    }
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> DesktopFolders::resourcePath(const QString &name, const QString &type) const
{
    // A template an administrator set for every user of the machine comes
    // first, looked up the XDG way (/etc/xdg/zandorupdate/…). The first one
    // there is taken as it is, good or bad: a broken one is not skipped.
    if (type == QLatin1String("plist")) {
        for (const QString &dir : systemConfigFolders()) {
            const QString path = dir + QStringLiteral("/zandorupdate/") + name + QLatin1Char('.') + type;
            if (QFileInfo::exists(path))
                return path;
        }
    }
    const QString path = resourcesDir_ + QLatin1Char('/') + name + QLatin1Char('.') + type;
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

QString DesktopFolders::bundleName() const
{
    return QStringLiteral("ZandorUpdate");
}

QString DesktopFolders::bundlePath() const
{
    return executablePath();
}

} // namespace platform
