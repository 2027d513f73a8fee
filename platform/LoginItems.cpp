#include "LoginItems.h"

#include "DurableFile.h"
#include "Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
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
GKeyFile *loadEntry(const QByteArray &contents, GKeyFileFlags flags = G_KEY_FILE_NONE)
{
    GKeyFile *keys = g_key_file_new();
    if (contents.isEmpty() ||
        !g_key_file_load_from_data(keys, contents.constData(), gsize(contents.size()), flags, nullptr)) {
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

bool isAssignment(const char *word)
{
    const char *equals = std::strchr(word, '=');
    return equals && equals != word && !std::memchr(word, '/', size_t(equals - word));
}

// The program a command line runs, looking through what a user may put in
// front of it: `env` with its settings, `sh -c "…"`, `exec`, VAR=value.
std::optional<QString> programOf(char **argv, int depth = 0)
{
    for (int i = 0; argv[i];) {
        const QByteArray word = QByteArray(argv[i]).replace("%%", "%");
        const QByteArray base = word.mid(word.lastIndexOf('/') + 1);
        if (base == "exec" || isAssignment(argv[i])) {
            ++i;
        } else if (base == "env") {
            for (++i; argv[i] && (argv[i][0] == '-' || isAssignment(argv[i]));) {
                const bool takesValue = !std::strcmp(argv[i], "-u") || !std::strcmp(argv[i], "-C");
                const bool last = !std::strcmp(argv[i], "--");
                i += takesValue && argv[i + 1] ? 2 : 1;
                if (last)
                    break;
            }
        } else if ((base == "sh" || base == "bash" || base == "dash") && argv[i + 1] &&
                   !std::strcmp(argv[i + 1], "-c") && argv[i + 2] && depth < 4) {
            g_auto(GStrv) inner = nullptr;
            if (!g_shell_parse_argv(argv[i + 2], nullptr, &inner, nullptr))
                return std::nullopt;
            return programOf(inner, depth + 1);
        } else {
            return findProgram(word.constData(), G_FILE_TEST_EXISTS);
        }
    }
    return std::nullopt;
}

std::optional<QString> programOf(GKeyFile *keys)
{
    g_autofree gchar *exec =
        g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
    g_auto(GStrv) argv = nullptr;
    if (!exec || !g_shell_parse_argv(exec, nullptr, &argv, nullptr) || !argv)
        return std::nullopt;
    return programOf(argv);
}

// Sessions whose manager skips an entry with X-GNOME-Autostart-enabled=false:
// cinnamon-session and gnome-session (and the desktops that run it). Seen
// starting such an entry all the same: lxqt-session, mate-session and
// xfce4-session; Plasma's and dex are said to as well.
bool honoursGnomeSwitch(const QStringList &desktops)
{
    static const QStringList honouring{QStringLiteral("GNOME"), QStringLiteral("X-Cinnamon"),
                                       QStringLiteral("Cinnamon"), QStringLiteral("Unity"), QStringLiteral("Pantheon")};
    return std::any_of(desktops.begin(), desktops.end(),
                       [](const QString &desktop) { return honouring.contains(desktop, Qt::CaseInsensitive); });
}

// The entry the app writes for itself.
QByteArray entryFor(const QString &program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=ZandorUpdate\n"
           "Comment=Fetches the latest news clip every hour\n"
           "Exec=" +
           keyFileValue(quoteExec(program)) + "\nTryExec=" + keyFileValue(program.toUtf8()) +
           "\n"
           "Icon=zandorupdate\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

// An entry switched off (Hidden, which every session honours) or on (neither
// Hidden nor GNOME's switch off), its other lines and comments as they were;
// empty when it does not parse.
QByteArray switched(const QByteArray &contents, bool off)
{
    g_autoptr(GKeyFile) keys =
        loadEntry(contents, GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS));
    if (!keys)
        return {};
    const char *group = G_KEY_FILE_DESKTOP_GROUP;
    if (off) {
        g_key_file_set_boolean(keys, group, G_KEY_FILE_DESKTOP_KEY_HIDDEN, TRUE);
    } else {
        g_key_file_remove_key(keys, group, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr);
        if (g_key_file_has_key(keys, group, "X-GNOME-Autostart-enabled", nullptr))
            g_key_file_set_boolean(keys, group, "X-GNOME-Autostart-enabled", TRUE);
    }
    gsize length = 0;
    g_autofree gchar *data = g_key_file_to_data(keys, &length, nullptr);
    return QByteArray(data, qsizetype(length));
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

    // Autostart folders have no order: the entry goes into the user's
    // folder. A user's own entry for the program that is only switched off
    // (one they wrote with a wrapper, say) is switched back on as it stands;
    // else the app's own entry is written under the app's desktop-file ID,
    // or beside another program's entry that holds that name.
    void insertAfter(const std::optional<LoginItem> &, const QString &program) override
    {
        QDir().mkpath(folder_);
        const QString target = canonical(program);
        const QDir own(folder_);
        for (const QString &name : own.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden)) {
            const QString path = own.filePath(name);
            const QByteArray contents = read(path);
            const auto entryProgram = desktopEntryProgram(contents);
            if (!entryProgram || canonical(*entryProgram) != target)
                continue;
            const QByteArray on = switched(contents, false);
            if (!on.isEmpty() && readAutostartEntry(on, desktops_).starts) {
                writeDurably(path, on, std::nullopt);
                return;
            }
        }
        QString name = kEntryName;
        for (int n = 2; heldByAnother(name, target); ++n)
            name = QStringLiteral("zandorupdate-%1.desktop").arg(n);
        writeDurably(own.filePath(name), entryFor(program), std::nullopt);
    }

    // The app's own entry goes; a user's own entry is switched off as it
    // stands; one in a system folder (or under a user's that went) is
    // switched off by a user entry of the same name, as XDG autostart has it.
    // Hidden is what every session honours.
    void remove(const LoginItem &item) override
    {
        if (item.beforeFirst)
            return;
        const QString name = QFileInfo(item.id).fileName();
        const QString own = QDir(folder_).filePath(name);
        if (item.id == own) {
            const QByteArray contents = read(own);
            const auto program = desktopEntryProgram(contents);
            const QByteArray off = switched(contents, true);
            if ((program && contents == entryFor(*program)) || off.isEmpty())
                QFile::remove(own);
            else
                writeDurably(own, off, std::nullopt);
        }
        if (QFileInfo::exists(own))
            return;
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
    // Whether the entry of this name a session would read (the user's, else
    // the first system folder's) starts some program other than `target`.
    bool heldByAnother(const QString &name, const QString &target) const
    {
        for (const QString &folder : QStringList{folder_} + systemFolders_) {
            const QString path = QDir(folder).filePath(name);
            if (!QFileInfo::exists(path))
                continue;
            const auto program = desktopEntryProgram(read(path));
            return program && canonical(*program) != target;
        }
        return false;
    }

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
    // The rules of XDG autostart and of the desktops that add to it, written
    // out here to keep libgio out of the app's start-up.
    const char *group = G_KEY_FILE_DESKTOP_GROUP;
    if (g_key_file_get_boolean(keys, group, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr))
        return entry;
    if (honoursGnomeSwitch(currentDesktops) && g_key_file_has_key(keys, group, "X-GNOME-Autostart-enabled", nullptr) &&
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
    // Last: the search along PATH costs the most, and most system entries
    // are for other desktops.
    entry.program = programOf(keys);
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
    QStringList folders;
    for (const QString &dir : systemConfigFolders())
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
