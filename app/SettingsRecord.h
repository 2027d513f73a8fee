#pragma once

#include <QCheckBox>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <variant>
#include <vector>

class AppDelegate;
class TextField;

// The settings record, described once: its keys, their built-in defaults
// (and so their kinds) and Settings-window controls. Construction, loading, the
// readers, saving and filling the window all walk this table.
namespace settings {

inline const QString kRecordKey = QStringLiteral("appSettings"); // the record's entry in the file
inline const QString kMpgUrl = QStringLiteral("mpg_url");
inline const QString kMpgDownload = QStringLiteral("mpg_download");
inline const QString kMxfUrl = QStringLiteral("mxf_url");
inline const QString kMxfDownload = QStringLiteral("mxf_download");
inline const QString kUsername = QStringLiteral("username");
inline const QString kPassword = QStringLiteral("password");
inline const QString kMinutesAfterHour = QStringLiteral("minutes_after_hour");
inline const QString kDownloadFilePath = QStringLiteral("downloadfilepath");
inline const QString kStartAtStartup = QStringLiteral("start_at_startup");
inline const QString kAutomaticDownload = QStringLiteral("automatic_download");

using TextControl = QPointer<TextField> AppDelegate::*;
using SwitchControl = QPointer<QCheckBox> AppDelegate::*;

struct Field {
    QString key;
    QVariant builtInDefault; // its kind is the key's: text, or a switch (a truth value)
    // The Settings window's row (1 to 8) and control; row 0 has none.
    int row = 0;
    std::variant<std::monostate, TextControl, SwitchControl> control;
};

// In the order of the defaults, which is also the order of loading.
const std::vector<Field> &fields();
// The fields with a control, in the window's row order (saving, filling).
std::vector<const Field *> rows();
// The ten built-in defaults.
QVariantMap builtInDefaults();

// Readers. A missing key, or a value of another kind, reads as the key's
// built-in default; a switch is on when it is any non-zero number.
bool switchValue(const QVariantMap &record, const QString &key);
QString textValue(const QVariantMap &record, const QString &key);

} // namespace settings
