#pragma once

#include <QDateTime>
#include <QUrl>
#include <optional>

// Operations added to dates, texts, URLs and the file chooser.
namespace TavrelExtensions {

// Whether `date` lies strictly between the two bounds, in either order
// (also true when all three are the same instant).
bool isBetween(const QDateTime &date, const QDateTime &first, const QDateTime &second);
// The date's hour (0...23) and minute (0...59) in the user's time zone.
qint64 hour(const QDateTime &date);
qint64 minute(const QDateTime &date);

// The chooser, configured to pick one existing folder / one file.
std::optional<QUrl> selectDir();
std::optional<QUrl> selectUrl();

} // namespace TavrelExtensions
