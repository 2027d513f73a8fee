#include "TavrelExtensions.h"

#include "Dialogs.h"
#include "Output.h"
#include "Services.h"
#include "TavrelUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace TavrelExtensions {

namespace {

int compare(const QDateTime &a, const QDateTime &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::optional<QUrl> runChooser(const platform::ChooserOptions &options)
{
    const platform::ChooserOutcome outcome = platform::services().fileChooser->runModal(options);
    if (outcome.result != platform::kChooserOK || outcome.urls.empty())
        return std::nullopt;
    return outcome.urls.front();
}

} // namespace

bool isBetween(const QDateTime &date, const QDateTime &first, const QDateTime &second)
{
    return compare(first, date) == compare(date, second);
}

qint64 hour(const QDateTime &date)
{
    return date.toLocalTime().time().hour();
}

qint64 minute(const QDateTime &date)
{
    return date.toLocalTime().time().minute();
}

std::optional<QUrl> selectDir(const QString &startAt)
{
    platform::ChooserOptions options;
    options.directory = startAt;
    options.title = QStringLiteral("Select Directory");
    options.allowsMultipleSelection = false;
    options.canChooseDirectories = true;
    options.canChooseFiles = false;
    options.canCreateDirectories = false;
    return runChooser(options);
}

std::optional<QUrl> selectUrl()
{
    platform::ChooserOptions options;
    options.title = QStringLiteral("Select File");
    options.allowsMultipleSelection = false;
    options.canChooseDirectories = false;
    options.canChooseFiles = true;
    options.canCreateDirectories = false;
    return runChooser(options);
}

} // namespace TavrelExtensions

namespace TavrelExtensions {

std::vector<QUrl> subdirectories(const QUrl &url)
{
    if (!isDirectory(url))
        return {};
    std::vector<QUrl> folders;
    for (const QUrl &entry : TavrelUtils::getFileListFromDirectory(url))
        if (isDirectory(entry))
            folders.push_back(entry);
    return folders;
}

bool isDirectory(const QUrl &url)
{
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return false;
    return QFileInfo(url.toLocalFile()).isDir();
}

bool isEmpty(const QString &text)
{
    return text.trimmed().isEmpty();
}

QString stringByAppendingPathComponent(const QString &text, const QString &path)
{
    QString joined = text.isEmpty() ? path : text + QLatin1Char('/') + path;
    // One separator wherever the parts met or repeated one, none at the end.
    static const QRegularExpression repeated(QStringLiteral("/{2,}"));
    joined.replace(repeated, QStringLiteral("/"));
    if (joined.size() > 1 && joined.endsWith(QLatin1Char('/')))
        joined.chop(1);
    return joined;
}

std::optional<QString> stringByAppendingPathExtension(const QString &text, const QString &ext)
{
    // As the platform's rule: trailing separators go; nothing to extend, or
    // only the home folder's "~", or an extension that is a path, is refused.
    QString base = text;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (base.isEmpty() || base == QLatin1String("~") || ext.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return base + QLatin1Char('.') + ext;
}

bool createSubFolderAt(const QString &name, platform::DirectoryKind location)
{
    const auto base = platform::services().folders->firstFolder(location);
    if (!base)
        return false;
    const QString path = stringByAppendingPathComponent(*base, name);
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        printLine(QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(std::strerror(errno)), path));
        return false;
    }
    return true;
}

QString toShortTimeString(const QDateTime &date)
{
    // Hours and minutes: some locales' short format (the C locale's among
    // them) carries seconds too.
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}"));
    const QLocale locale; // the user's, unless the app set another
    const QString format = locale.timeFormat(QLocale::ShortFormat).remove(seconds);
    return locale.toString(date.toLocalTime().time(), format);
}

namespace {

// Where one abbreviation names several zones, the best known one, for every
// user alike ("CST" is Chicago's in Shanghai too); the zone is taken only
// while it uses the abbreviation.
const std::map<QString, QByteArray> &preferredZones()
{
    static const std::map<QString, QByteArray> zones{
        {QStringLiteral("UTC"), "UTC"},
        {QStringLiteral("GMT"), "UTC"},
        {QStringLiteral("CST"), "America/Chicago"},
        {QStringLiteral("CDT"), "America/Chicago"},
        {QStringLiteral("IST"), "Asia/Kolkata"},
        {QStringLiteral("EST"), "America/New_York"},
        {QStringLiteral("EDT"), "America/New_York"},
        {QStringLiteral("MST"), "America/Denver"},
        {QStringLiteral("MDT"), "America/Denver"},
        {QStringLiteral("PST"), "America/Los_Angeles"},
        {QStringLiteral("PDT"), "America/Los_Angeles"},
        {QStringLiteral("BST"), "Europe/London"},
        {QStringLiteral("CET"), "Europe/Paris"},
        {QStringLiteral("CEST"), "Europe/Paris"},
        {QStringLiteral("EET"), "Europe/Athens"},
        {QStringLiteral("AST"), "America/Halifax"},
        {QStringLiteral("ADT"), "America/Halifax"},
        {QStringLiteral("AEST"), "Australia/Sydney"},
        {QStringLiteral("AEDT"), "Australia/Sydney"},
        {QStringLiteral("JST"), "Asia/Tokyo"},
        {QStringLiteral("KST"), "Asia/Seoul"},
        {QStringLiteral("HKT"), "Asia/Hong_Kong"},
        {QStringLiteral("SGT"), "Asia/Singapore"},
    };
    return zones;
}

// Abbreviations in common use that the zone database spells as numbers
// ("-03"), with the offset they stand for.
const std::map<QString, int> &numericallySpelled()
{
    constexpr int hour = 3600;
    static const std::map<QString, int> offsets{
        {QStringLiteral("BRT"), -3 * hour}, {QStringLiteral("ART"), -3 * hour},
        {QStringLiteral("PHT"), 8 * hour},  {QStringLiteral("ICT"), 7 * hour},
        {QStringLiteral("MYT"), 8 * hour},  {QStringLiteral("IRST"), 3 * hour + 1800},
        {QStringLiteral("PET"), -5 * hour}, {QStringLiteral("COT"), -5 * hour},
        {QStringLiteral("CLT"), -4 * hour}, {QStringLiteral("BDT"), 6 * hour},
        {QStringLiteral("GST"), 4 * hour},
    };
    return offsets;
}

} // namespace

std::optional<QTimeZone> timeZoneForAbbreviation(const QString &abbreviation)
{
    if (abbreviation.isEmpty())
        return std::nullopt;
    const QDateTime now = QDateTime::currentDateTime();
    const auto usesNow = [&](const QTimeZone &zone) {
        return zone.isValid() && zone.abbreviation(now) == abbreviation;
    };
    // A zone that uses the abbreviation at this instant: the user's own, then
    // the preferred one, then the first of the database in name order. So
    // "AEST" in Brisbane and "MST" in Phoenix are what those clocks show.
    const QTimeZone own = QTimeZone::systemTimeZone();
    if (usesNow(own))
        return own;
    const auto preferred = preferredZones().find(abbreviation);
    if (preferred != preferredZones().end() && usesNow(QTimeZone(preferred->second)))
        return QTimeZone(preferred->second);
    if (const auto numeric = numericallySpelled().find(abbreviation); numeric != numericallySpelled().end())
        return QTimeZone(numeric->second);
    const QList<QByteArray> ids = QTimeZone::availableTimeZoneIds();
    for (const QByteArray &id : ids)
        if (const QTimeZone zone(id); usesNow(zone))
            return zone;
    // Out of season ("PDT" in winter): the offset it stands for when in use.
    const QDateTime later = now.addMonths(6);
    if (preferred != preferredZones().end()) {
        const QTimeZone zone(preferred->second);
        if (zone.isValid() && zone.abbreviation(later) == abbreviation)
            return QTimeZone(zone.offsetFromUtc(later));
    }
    for (const QByteArray &id : ids)
        if (const QTimeZone zone(id); zone.abbreviation(later) == abbreviation)
            return QTimeZone(zone.offsetFromUtc(later));
    return std::nullopt;
}

QDateTime getLocalDate(const QString &abbreviation)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time(now.time().hour(), now.time().minute(), now.time().second());
    if (const auto zone = timeZoneForAbbreviation(abbreviation))
        return QDateTime(date, time, *zone);
    return QDateTime(date, time);
}

} // namespace TavrelExtensions
