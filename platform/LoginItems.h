#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// One entry of the user's login items. `beforeFirst` marks the place before
// the first entry, used as an insertion point into an empty list.
struct LoginItem {
    QString id;
    bool beforeFirst = false;
    friend bool operator==(const LoginItem &, const LoginItem &) = default;
};

struct ResolvedLoginItem {
    bool resolved = false;         // false: the entry's target could not be found
    std::optional<QString> target; // the program it starts
};

// The list, opened once per use.
class LoginItemsList {
public:
    virtual ~LoginItemsList() = default;
    // The entries now, in login order.
    virtual std::vector<LoginItem> snapshot() = 0;
    virtual ResolvedLoginItem resolve(const LoginItem &item) = 0;
    // A new entry for the program, right after `after` (none: wherever).
    virtual void insertAfter(const std::optional<LoginItem> &after, const QString &program) = 0;
    virtual void remove(const LoginItem &item) = 0;
};

class LoginItems {
public:
    virtual ~LoginItems() = default;
    // None when the list cannot be opened.
    virtual std::unique_ptr<LoginItemsList> open() = 0;
};

// XDG autostart: the entries in the user's folder and the system's that a
// session would start, in file-name order (the folders have no other).
class AutostartLoginItems final : public LoginItems {
public:
    // Empty folder: $XDG_CONFIG_HOME/autostart (default ~/.config/autostart);
    // no system folders: $XDG_CONFIG_DIRS' (default /etc/xdg/autostart); no
    // desktops: $XDG_CURRENT_DESKTOP's.
    explicit AutostartLoginItems(QString folder = {}, std::optional<QStringList> systemFolders = std::nullopt,
                                 std::optional<QStringList> currentDesktops = std::nullopt);
    std::unique_ptr<LoginItemsList> open() override;

    static QString defaultFolder();
    static QStringList defaultSystemFolders();

private:
    QString folder_;
    QStringList systemFolders_;
    QStringList desktops_;
};

struct AutostartEntry {
    std::optional<QString> program; // as desktopEntryProgram finds it
    bool starts = false;            // whether a session would start it at all
};
// An autostart entry as the session reads it: Hidden, X-GNOME-Autostart-
// enabled where the session honours it, OnlyShowIn/NotShowIn against the
// current desktops, TryExec.
AutostartEntry readAutostartEntry(const QByteArray &contents, const QStringList &currentDesktops);

// The program a desktop entry starts (through `env` or `sh -c` too), as an
// absolute path, or none when the entry does not parse, has no Exec or its
// program cannot be found.
std::optional<QString> desktopEntryProgram(const QByteArray &contents);

} // namespace platform
