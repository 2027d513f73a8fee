#include "SettingsRecord.h"

#include "AppDelegate.h"

#include <algorithm>

namespace settings {

namespace {

const QString kNewsServer = QStringLiteral("https://news.zandor.example");

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QVariant defaultOf(const QString &key)
{
    const auto &all = fields();
    const auto it = std::find_if(all.begin(), all.end(), [&](const Field &f) { return f.key == key; });
    return it == all.end() ? QVariant() : it->builtInDefault;
}

} // namespace

const std::vector<Field> &fields()
{
    static const std::vector<Field> table{
        {kMpgUrl, kNewsServer + QStringLiteral("/zandor/zandor.mpeg"), 0, {}},
        {kMpgDownload, true, 3, &AppDelegate::setDownloadFormatMPEG},
        {kMxfUrl, kNewsServer + QStringLiteral("/zandor/zandor.mxf"), 0, {}},
        {kMxfDownload, false, 4, &AppDelegate::setDownloadFormatMXF},
        {kUsername, QString(), 1, &AppDelegate::setUserName},
        {kPassword, QString(), 2, &AppDelegate::setPasssword},
        {kMinutesAfterHour, QStringLiteral("5"), 5, &AppDelegate::setMinutesAfterHour},
        {kDownloadFilePath, QString(), 6, &AppDelegate::setLabelFolder},
        {kStartAtStartup, true, 7, &AppDelegate::setStartAtSystemStartUp},
        {kAutomaticDownload, true, 8, &AppDelegate::setAutomaticDownload},
    };
    return table;
}

std::vector<const Field *> rows()
{
    std::vector<const Field *> bound;
    for (const Field &field : fields())
        if (field.row > 0)
            bound.push_back(&field);
    std::sort(bound.begin(), bound.end(), [](const Field *a, const Field *b) { return a->row < b->row; });
    return bound;
}

QVariantMap builtInDefaults()
{
    QVariantMap record;
    for (const Field &field : fields())
        record.insert(field.key, field.builtInDefault);
    return record;
}

bool switchValue(const QVariantMap &record, const QString &key)
{
    const QVariant value = record.value(key);
    if (!isNumber(value))
        return defaultOf(key).toBool();
    return value.toDouble() != 0.0;
}

QString textValue(const QVariantMap &record, const QString &key)
{
    const QVariant value = record.value(key);
    // A number typed into the file by hand (20 rather than "20") means its decimal text.
    if (key == kMinutesAfterHour && isNumber(value) && value.typeId() != QMetaType::Bool)
        return value.typeId() == QMetaType::Double ? QString::number(value.toDouble(), 'g', 17) : value.toString();
    if (value.typeId() != QMetaType::QString)
        return defaultOf(key).toString();
    return value.toString();
}

} // namespace settings
