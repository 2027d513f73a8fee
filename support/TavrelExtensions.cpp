#include "TavrelExtensions.h"

#include "Services.h"

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

std::optional<QUrl> selectDir()
{
    platform::ChooserOptions options;
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
