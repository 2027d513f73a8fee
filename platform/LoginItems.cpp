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
    explicit AutostartList(QString folder) : folder_(std::move(folder)) {}

    std::vector<LoginItem> snapshot() override
    {
        std::vector<LoginItem> items;
        const QDir dir(folder_);
        const QStringList names = dir.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden, QDir::Name);
        programs_.clear();
        for (const QString &name : names) {
            bool hidden = false;
            const QString path = dir.filePath(name);
            const auto program = desktopEntryProgram(read(path), &hidden);
            if (hidden)
                continue;
            items.push_back({path});
            programs_[path] = program; // each file is read once per snapshot
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

    void insertAfter(const std::optional<LoginItem> &after, const QString &program) override
    {
        QDir().mkpath(folder_);
        const QByteArray exec = keyFileValue(quoteExec(program));
        writeDurably(QDir(folder_).filePath(newName(after)),
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

    void remove(const LoginItem &item) override
    {
        if (!item.beforeFirst)
            QFile::remove(item.id);
    }

private:
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        if (file.size() > kLargestEntry || !file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    // The folder has no order but its names': pick one that sorts after the
    // entry we are to follow, so the list reads back in the same order.
    QString newName(const std::optional<LoginItem> &after) const
    {
        const QDir dir(folder_);
        QString stem = QStringLiteral("zandorupdate");
        if (after && !after->beforeFirst) {
            const QString last = QFileInfo(after->id).completeBaseName();
            if (!(stem > last))
                stem = last + QStringLiteral("_zandorupdate");
        }
        QString name = stem + QStringLiteral(".desktop");
        for (int n = 2; dir.exists(name); ++n)
            name = stem + QStringLiteral("_%1.desktop").arg(n);
        return name;
    }

    QString folder_;
    std::map<QString, std::optional<QString>> programs_; // of the last snapshot
};

} // namespace

std::optional<QString> desktopEntryProgram(const QByteArray &contents, bool *hidden)
{
    if (hidden)
        *hidden = false;
    if (contents.isEmpty())
        return std::nullopt;
    // GLib's own owners free each value as it goes out of scope.
    g_autoptr(GKeyFile) keys = g_key_file_new();
    std::optional<QString> program;
    if (g_key_file_load_from_data(keys, contents.constData(), gsize(contents.size()), G_KEY_FILE_NONE, nullptr)) {
        if (hidden)
            *hidden = g_key_file_get_boolean(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr);
        g_autofree gchar *exec =
            g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
        g_auto(GStrv) argv = nullptr;
        if (exec && g_shell_parse_argv(exec, nullptr, &argv, nullptr) && argv && argv[0]) {
            // After unquoting, "%%" is the one field code a program name may hold.
            const QByteArray name = QByteArray(argv[0]).replace("%%", "%");
            g_autofree gchar *found =
                g_path_is_absolute(name.constData())
                    ? (g_file_test(name.constData(), G_FILE_TEST_EXISTS) ? g_strdup(name.constData()) : nullptr)
                    : g_find_program_in_path(name.constData());
            if (found)
                program = QString::fromUtf8(found);
        }
    }
    return program;
}

AutostartLoginItems::AutostartLoginItems(QString folder) : folder_(std::move(folder)) {}

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
    return std::make_unique<AutostartList>(folder);
}

} // namespace platform
