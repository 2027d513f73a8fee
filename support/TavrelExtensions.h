#pragma once

#include "Folders.h"

#include <QDateTime>
#include <QTimeZone>
#include <QUrl>
#include <optional>
#include <vector>

// Operations added to dates, texts, URLs and the file chooser.
namespace TavrelExtensions {

// Whether `date` lies strictly between the two bounds, in either order
// (also true when all three are the same instant).
bool isBetween(const QDateTime &date, const QDateTime &first, const QDateTime &second);
// The date's hour (0...23) and minute (0...59) in the user's time zone.
qint64 hour(const QDateTime &date);
qint64 minute(const QDateTime &date);

// The sub-folders among a folder's own entries, hidden ones included.
std::vector<QUrl> subdirectories(const QUrl &url);
// A file URL naming an existing folder.
bool isDirectory(const QUrl &url);

// Nothing but white space and line breaks.
bool isEmpty(const QString &text);
// The two joined as path components, with exactly one "/" between them.
QString stringByAppendingPathComponent(const QString &text, const QString &path);
// text + "." + ext; none for an empty text, a text ending in "/" or "~",
// or an extension that holds a "/" or white space at its ends.
std::optional<QString> stringByAppendingPathExtension(const QString &text, const QString &ext);
// Makes the folder `name` in the user's folder of the given kind (its parent
// must exist, the folder must not).
bool createSubFolderAt(const QString &name, platform::DirectoryKind location);

// The time of day in the user's short style.
QString toShortTimeString(const QDateTime &date);
// The instant at which clocks in the zone named by the abbreviation show the
// user's date and time of now (to the second); an unknown abbreviation
// leaves the zone the user's own.
QDateTime getLocalDate(const QString &abbreviation);
// The zone an abbreviation names, if any.
std::optional<QTimeZone> timeZoneForAbbreviation(const QString &abbreviation);

// The chooser, configured to pick one existing folder / one file.
std::optional<QUrl> selectDir(const QString &startAt = {});
std::optional<QUrl> selectUrl();

} // namespace TavrelExtensions
