#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <map>

// A throw-away home: HOME and the XDG folders point into a temporary folder
// for as long as the object lives.
class TestHome {
public:
    TestHome();
    ~TestHome();

    QString path() const { return dir_.path(); }
    QString file(const QString &relative) const { return QDir(dir_.path()).filePath(relative); }
    QString appSupport() const { return file(QStringLiteral(".local/share")); }
    QString appFolder() const { return file(QStringLiteral(".local/share/ZandorUpdate")); }
    QString settingsFile() const { return file(QStringLiteral(".local/share/ZandorUpdate/appSettings.plist")); }
    QString documents() const { return file(QStringLiteral("Documents")); }
    QString autostart() const { return file(QStringLiteral(".config/autostart")); }
    // An environment variable, as it was again when the object goes.
    void set(const char *name, const QString &value);

private:
    QTemporaryDir dir_;
    std::map<QByteArray, std::optional<QByteArray>> saved_;
};

// Writes a file, creating its folder.
void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
