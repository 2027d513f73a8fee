#include "TestHome.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

TestHome::TestHome()
{
    set("HOME", dir_.path());
    set("XDG_DATA_HOME", file(QStringLiteral(".local/share//"))); // as some users' profiles write it
    set("XDG_CONFIG_HOME", file(QStringLiteral(".config")));
    set("XDG_CACHE_HOME", file(QStringLiteral(".cache")));
    // The system's configuration (and its autostart entries) of our own.
    set("XDG_CONFIG_DIRS", file(QStringLiteral("etc/xdg")));
    set("XDG_CURRENT_DESKTOP", QStringLiteral("XFCE"));
    QDir().mkpath(documents());
    // The documents folder as xdg-user-dirs would name it.
    writeFile(file(QStringLiteral(".config/user-dirs.dirs")), "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
}

TestHome::~TestHome()
{
    for (const auto &[name, value] : saved_) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

void TestHome::set(const char *name, const QString &value)
{
    if (!saved_.count(name))
        saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
    qputenv(name, QFile::encodeName(value));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
