#include "LoginItems.h"

#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <glib.h>
#include <map>

namespace platform {

namespace {

constexpr qint64 kLargestEntry = 1 << 20; // nobody writes a desktop entry this big
// The app's own desktop-file ID, which names its autostart entry.
const QString kEntryName = QStringLiteral("zandorupdate.desktop");

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QString() : resolved;
}

// Exec as the desktop-entry spec wants it: quoted, with its reserved
// characters escaped and a literal percent doubled.
QByteArray quoteExec(const QString &program)
{
    QByteArray out = "\"";
    for (const char c : program.toUtf8()) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    out += '"';
    return out;
}

// Key-file values escape backslashes once more.
QByteArray keyFileValue(const QByteArray &value)
{
    QByteArray out;
    for (const char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

class AutostartList final : public LoginItemsList {
public:
    AutostartList(QString folder, QStringList systemFolders, QStringList desktops)
        : folder_(std::move(folder)), systemFolders_(std::move(systemFolders)), desktops_(std::move(desktops))
    {
    }

    // What a session starts: every entry name of the user's folder and the
    // system's, the user's file overriding the system's of the same name,
    // and of those only the entries the session would start.
    std::vector<LoginItem> snapshot() override
    {
        std::map<QString, QString> effective; // name -> file, in name order
        for (auto folder = systemFolders_.crbegin(); folder != systemFolders_.crend(); ++folder)
            addEntries(*folder, effective);
        addEntries(folder_, effective);
        std::vector<LoginItem> items;
        programs_.clear();
        for (const auto &[name, path] : effective) {
            const AutostartEntry entry = readAutostartEntry(read(path), desktops_);
            if (!entry.starts)
                continue;
            items.push_back({path});
            programs_[path] = entry.program; // each file is read once per snapshot
        }
        return items;
    }

    ResolvedLoginItem resolve(const LoginItem &item) override
    {
        if (item.beforeFirst)
            return {};
        const auto known = programs_.find(item.id);
        const auto program = known != programs_.end() ? known->second : desktopEntryProgram(read(item.id));
        if (!program)
            return {};
        return {true, canonical(*program)};
    }

    // Autostart folders have no order: the entry always goes into the user's
    // folder under the app's own desktop-file ID, replacing an entry of that
    // name the session would not start (or overriding the system's).
    void insertAfter(const std::optional<LoginItem> &, const QString &program) override
    {
        QDir().mkpath(folder_);
        const QByteArray exec = keyFileValue(quoteExec(program));
        writeDurably(QDir(folder_).filePath(kEntryName),
                     "[Desktop Entry]\n"
                     "Type=Application\n"
                     "Name=ZandorUpdate\n"
                     "Comment=Fetches the latest news clip every hour\n"
                     "Exec=" +
                         exec + "\nTryExec=" + keyFileValue(program.toUtf8()) +
                         "\n"
                         "Icon=zandorupdate\n"
                         "Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n",
                     std::nullopt);
    }

    // The user's entry goes; one in a system folder (or under the user's
    // one) is switched off by a user entry of the same name, as XDG
    // autostart has it.
    void remove(const LoginItem &item) override
    {
        if (item.beforeFirst)
            return;
        const QString name = QFileInfo(item.id).fileName();
        const QString own = QDir(folder_).filePath(name);
        if (item.id == own)
            QFile::remove(own);
        for (const QString &folder : systemFolders_) {
            const QString system = QDir(folder).filePath(name);
            if (QFileInfo::exists(system)) {
                if (readAutostartEntry(read(system), desktops_).starts) {
                    QDir().mkpath(folder_);
                    writeDurably(own, "[Desktop Entry]\nType=Application\nName=" + name.toUtf8() + "\nHidden=true\n",
                                 std::nullopt);
                }
                break;
            }
        }
    }

private:
    static void addEntries(const QString &folder, std::map<QString, QString> &effective)
    {
        const QDir dir(folder);
        for (const QString &name : dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden))
            effective[name] = dir.filePath(name);
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        if (file.size() > kLargestEntry || !file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    QString folder_;
    QStringList systemFolders_;
    QStringList desktops_;
    std::map<QString, std::optional<QString>> programs_; // of the last snapshot
};

bool listsAny(GKeyFile *keys, const char *key, const QStringList &desktops)
{
    gsize count = 0;
    g_auto(GStrv) names = g_key_file_get_string_list(keys, G_KEY_FILE_DESKTOP_GROUP, key, &count, nullptr);
    for (gsize i = 0; names && i < count; ++i)
        if (desktops.contains(QString::fromUtf8(names[i]), Qt::CaseInsensitive))
            return true;
    return false;
}

// A desktop entry's keys; GLib's own owners free each value as it goes out of scope.
GKeyFile *loadEntry(const QByteArray &contents)
{
    GKeyFile *keys = g_key_file_new();
    if (contents.isEmpty() ||
        !g_key_file_load_from_data(keys, contents.constData(), gsize(contents.size()), G_KEY_FILE_NONE, nullptr)) {
        g_key_file_free(keys);
        return nullptr;
    }
    return keys;
}

// A program by absolute path (when it passes `test`) or on PATH.
std::optional<QString> findProgram(const char *name, GFileTest test)
{
    g_autofree gchar *found =
        g_path_is_absolute(name) ? (g_file_test(name, test) ? g_strdup(name) : nullptr) : g_find_program_in_path(name);
    return found ? std::optional(QString::fromUtf8(found)) : std::nullopt;
}

std::optional<QString> programOf(GKeyFile *keys)
{
    g_autofree gchar *exec =
        g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
    g_auto(GStrv) argv = nullptr;
    if (!exec || !g_shell_parse_argv(exec, nullptr, &argv, nullptr) || !argv || !argv[0])
        return std::nullopt;
    // After unquoting, "%%" is the one field code a program name may hold.
    return findProgram(QByteArray(argv[0]).replace("%%", "%").constData(), G_FILE_TEST_EXISTS);
}

} // namespace

std::optional<QString> desktopEntryProgram(const QByteArray &contents)
{
    g_autoptr(GKeyFile) keys = loadEntry(contents);
    return keys ? programOf(keys) : std::nullopt;
}

AutostartEntry readAutostartEntry(const QByteArray &contents, const QStringList &currentDesktops)
{
    AutostartEntry entry;
    g_autoptr(GKeyFile) keys = loadEntry(contents);
    if (!keys)
        return entry;
    entry.program = programOf(keys);
    // The rules of XDG autostart and of the desktops that add to it, written
    // out here to keep libgio out of the app's start-up.
    const char *group = G_KEY_FILE_DESKTOP_GROUP;
    if (g_key_file_get_boolean(keys, group, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr))
        return entry;
    if (g_key_file_has_key(keys, group, "X-GNOME-Autostart-enabled", nullptr) &&
        !g_key_file_get_boolean(keys, group, "X-GNOME-Autostart-enabled", nullptr))
        return entry;
    if (g_key_file_has_key(keys, group, G_KEY_FILE_DESKTOP_KEY_ONLY_SHOW_IN, nullptr) &&
        !listsAny(keys, G_KEY_FILE_DESKTOP_KEY_ONLY_SHOW_IN, currentDesktops))
        return entry;
    if (listsAny(keys, G_KEY_FILE_DESKTOP_KEY_NOT_SHOW_IN, currentDesktops))
        return entry;
    if (g_autofree gchar *tryExec = g_key_file_get_string(keys, group, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, nullptr);
        tryExec && !findProgram(tryExec, G_FILE_TEST_IS_EXECUTABLE))
        return entry;
    entry.starts = true;
    return entry;
}

AutostartLoginItems::AutostartLoginItems(QString folder, std::optional<QStringList> systemFolders,
                                         std::optional<QStringList> currentDesktops)
    : folder_(std::move(folder)), systemFolders_(systemFolders ? *systemFolders : defaultSystemFolders()),
      desktops_(
          currentDesktops
              ? *currentDesktops
              : QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'), Qt::SkipEmptyParts))
{
}

QStringList AutostartLoginItems::defaultSystemFolders()
{
    QString dirs = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_DIRS"));
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    QStringList folders;
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            folders << dir + QStringLiteral("/autostart");
    return folders;
}

QString AutostartLoginItems::defaultFolder()
{
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QString base = config.isEmpty() || !QDir::isAbsolutePath(QString::fromLocal8Bit(config))
                             ? QDir::homePath() + QStringLiteral("/.config")
                             : QString::fromLocal8Bit(config);
    return base + QStringLiteral("/autostart");
}

std::unique_ptr<LoginItemsList> AutostartLoginItems::open()
{
    const QString folder = folder_.isEmpty() ? defaultFolder() : folder_;
    const QFileInfo info(folder);
    // A missing folder is an empty list (created on insert); anything else
    // that is not a readable folder cannot be opened.
    if (info.exists() && (!info.isDir() || !info.isReadable() || !info.isExecutable()))
        return nullptr;
    return std::make_unique<AutostartList>(folder, systemFolders_, desktops_);
}

} // namespace platform
