#include "TavrelPlist.h"

#include "Descriptor.h"
#include "DurableFile.h"
#include "Output.h"
#include "PlistFormat.h"
#include "Services.h"
#include "System.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file holds a password: only the user may read it.
constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateFolder = 0700;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString joined(const QString &folder, const QString &component)
{
    QString path = folder;
    while (path.endsWith(QLatin1Char('/')) && path.size() > 1)
        path.chop(1);
    return path + QLatin1Char('/') + component;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The file holds a password: only the user may read it.
bool replacePrivately(const QString &target, const QByteArray &bytes)
{
    return bool(platform::writeDurably(target, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

// The copy of the template, created private from the start.
bool copyPrivately(const QString &from, const QString &to, QString *error)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    const QByteArray bytes = source.readAll();
    const int fd = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFile);
    if (fd < 0) {
        *error = errnoText();
        return false;
    }
    const bool ok = writeAll(fd, bytes) && fsync(fd) == 0;
    if (!ok)
        *error = errnoText();
    ::close(fd);
    if (!ok)
        ::unlink(QFile::encodeName(to).constData());
    return ok;
}

// No settings file is this large; a larger one is not read into memory.
constexpr qint64 kLargestFile = 16 << 20;

bool isRegularFile(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Only a regular file is read: a pipe or a device (or a link to one) would
// block start-up, or never end.
std::optional<QByteArray> readFile(const QString &path)
{
    const platform::Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile)
        return std::nullopt;
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(kLargestFile + 1);
}

bool isItem(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

const char *plistErrorName(PlistError error)
{
    switch (error) {
    case PlistError::FileNotWritten:
        return "FileNotWritten";
    case PlistError::FileDoesNotExist:
        return "FileDoesNotExist";
    }
    return "";
}

std::optional<QString> Plist::sourcePath() const
{
    return platform::services().folders->resourcePath(name, QStringLiteral("plist"));
}

std::optional<QString> Plist::destPath() const
{
    if (!sourcePath())
        return std::nullopt;
    const auto base = platform::services().folders->firstFolder(searchPathDirectory);
    if (!base)
        return std::nullopt;
    const QString file = name + QStringLiteral(".plist");
    return appName.isEmpty() ? joined(*base, file) : joined(joined(*base, appName), file);
}

std::optional<Plist> Plist::make(const QString &name)
{
    return finish(Plist{name, platform::DirectoryKind::Documents, QString()});
}

std::optional<Plist> Plist::make(const QString &name, platform::DirectoryKind directory)
{
    auto &services = platform::services();
    const auto base = services.folders->firstFolder(directory);
    const QString appName = services.folders->bundleName();
    if (!base || appName.isEmpty())
        return std::nullopt;
    const QString folder = joined(*base, appName);
    if (!QFileInfo(folder).isDir()) {
        // Parents as usual; the app's own folder private, since the file holds a password.
        if (!QDir().mkpath(*base) || ::mkdir(QFile::encodeName(folder).constData(), kPrivateFolder) != 0) {
            services.systemLog->write(errno ? errnoText() : QStringLiteral("Could not create %1").arg(folder));
            return std::nullopt;
        }
        ::chmod(QFile::encodeName(folder).constData(), kPrivateFolder); // whatever the umask said
    }
    return finish(Plist{name, directory, appName});
}

std::optional<Plist> Plist::finish(Plist plist)
{
    const auto source = plist.sourcePath();
    const auto dest = plist.destPath();
    if (!source || !dest || !QFileInfo::exists(*source))
        return std::nullopt;
    if (!isItem(*dest)) {
        QString error;
        if (!copyPrivately(*source, *dest, &error)) {
            printLine(QStringLiteral("Unable to copy file. ERROR: ") + error, Level::Error);
            return std::nullopt;
        }
        // Which of the templates (an administrator's or the app's) it was.
        printLine(QStringLiteral("Settings file %1 made from %2").arg(*dest, *source));
    }
    return plist;
}

std::optional<QVariantMap> Plist::getValuesInPlistFile() const
{
    const auto dest = destPath();
    if (!dest)
        return std::nullopt;
    const auto bytes = readFile(*dest);
    if (!bytes)
        return std::nullopt;
    return parsePlistDictionary(*bytes);
}

void Plist::addValuesToPlistFile(const QVariantMap &dictionary) const
{
    const auto dest = destPath();
    if (!dest || !isItem(*dest))
        throw PlistError::FileDoesNotExist;
    // A file the user marked read-only stays as it is, even for root; so
    // does what a link leads to that is no file (a device, a pipe).
    struct stat st {};
    struct stat link {};
    const bool reached = ::stat(QFile::encodeName(*dest).constData(), &st) == 0;
    const bool readOnly = reached && !(st.st_mode & S_IWUSR);
    const bool linkToNoFile = reached && !S_ISREG(st.st_mode) &&
                              ::lstat(QFile::encodeName(*dest).constData(), &link) == 0 && S_ISLNK(link.st_mode);
    if (readOnly || linkToNoFile || ::access(QFile::encodeName(*dest).constData(), W_OK) != 0 ||
        !replacePrivately(*dest, toXmlPlist(dictionary))) {
        printLine(std::string_view("File not written successfully"), Level::Error);
        throw PlistError::FileNotWritten;
    }
}

bool Plist::keepUnreadableCopy() const
{
    const auto dest = destPath();
    if (!dest)
        return false;
    if (!isRegularFile(*dest))
        return false; // nothing in it to keep
    const auto bytes = readFile(*dest);
    if (bytes && parsePlistDictionary(*bytes))
        return false;
    const QString copy = *dest + QStringLiteral(".unreadable");
    if (bytes ? !replacePrivately(copy, *bytes)
              : (QFile::exists(copy) && !QFile::remove(copy)) || !QFile::copy(*dest, copy) ||
                    !QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    printLine(QStringLiteral("Kept the unreadable settings file as ") + copy, Level::Warning);
    return true;
}

TavrelPlist::TavrelPlist(const QString &pListFileName) : pList(Plist::make(pListFileName))
{
    if (!pList)
        tvLogger().logMessage("Unable to get Plist");
}

TavrelPlist::TavrelPlist(const QString &pListFileName, platform::DirectoryKind intoDirectory)
    : pList(Plist::make(pListFileName, intoDirectory))
{
    if (!pList)
        tvLogger().logMessage("Unable to get Plist");
}

bool TavrelPlist::save(const QVariantMap &root)
{
    try {
        pList->addValuesToPlistFile(root);
        return true;
    } catch (PlistError error) {
        printLine(std::string_view(plistErrorName(error)), Level::Error);
        return false;
    }
}

bool TavrelPlist::modify(const std::function<void(QVariantMap &)> &change)
{
    if (!pList)
        return false;
    QVariantMap root = getMutItems();
    if (root.isEmpty())
        pList->keepUnreadableCopy(); // the save below would lose what it held
    change(root);
    return save(root);
}

bool TavrelPlist::addDictionary(const QString &key, const QVariantMap &dictionary)
{
    return modify([&](QVariantMap &root) { root.insert(key, dictionary); });
}

bool TavrelPlist::addArray(const QString &key, const QVariantList &arrayItems)
{
    return modify([&](QVariantMap &root) { root.insert(key, arrayItems); });
}

bool TavrelPlist::deleteItem(const QString &key)
{
    return modify([&](QVariantMap &root) { root.remove(key); });
}

bool TavrelPlist::itemExists(const QString &key) const
{
    return getItems().contains(key);
}

QVariantMap TavrelPlist::getItems() const
{
    if (!pList)
        return {};
    return pList->getValuesInPlistFile().value_or(QVariantMap());
}

QVariantMap TavrelPlist::getMutItems() const
{
    return getItems();
}

QString TavrelPlist::getPlistPath() const
{
    return pList ? pList->getDestPath() : QString();
}
