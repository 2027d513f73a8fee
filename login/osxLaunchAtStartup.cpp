#include "osxLaunchAtStartup.h"

#include "Folders.h"
#include "Output.h"
#include "Services.h"

#include <QFileInfo>

namespace {

// The application as a login item knows it: the running program's real path.
QString applicationUrl()
{
    const QString path = platform::services().folders->bundlePath();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

LoginItemReferences itemReferencesInLoginItems()
{
    const QString application = applicationUrl();
    const auto list = platform::services().loginItems->open();
    if (!list)
        return {};
    const std::vector<platform::LoginItem> snapshot = list->snapshot();
    printLine(QStringLiteral("There are %1 login items").arg(snapshot.size()));
    if (snapshot.empty())
        return {std::nullopt, platform::LoginItem{QString(), true}};

    const platform::LoginItem last = snapshot.back();
    for (const platform::LoginItem &item : snapshot) {
        const platform::ResolvedLoginItem resolved = list->resolve(item);
        if (!resolved.resolved) {
            printLine(std::string_view("Unknown login application"));
            continue;
        }
        if (resolved.target && *resolved.target == application)
            return {item, last};
    }
    return {std::nullopt, last};
}

bool applicationIsInStartUpItems()
{
    return itemReferencesInLoginItems().existingReference.has_value();
}

void toggleLaunchAtStartup()
{
    const LoginItemReferences references = itemReferencesInLoginItems();
    const auto list = platform::services().loginItems->open();
    if (!list)
        return;
    if (!references.existingReference) {
        list->insertAfter(references.lastReference, applicationUrl());
        printLine(std::string_view("Application was added to login items"));
    } else {
        list->remove(*references.existingReference);
        printLine(std::string_view("Application was removed from login items"));
    }
}
