#include "Helpers.h"

#include "Dialogs.h"
#include "Services.h"

using platform::AlertSpec;
using platform::kAlertFirstButton;
using platform::services;

void ShowInfoMessageModal(const QString &message, const QString &Info, bool useAlertSound)
{
    // The sound starts first, so it plays as the alert comes up.
    if (useAlertSound)
        services().alertSound->playAlert();
    services().alerts->runModal(AlertSpec{message, Info, {QStringLiteral("OK")}, std::nullopt});
}

bool dialogOKCancel(const QString &question, const QString &text)
{
    const auto outcome =
        services().alerts->runModal(AlertSpec{question, text, {QStringLiteral("OK"), QStringLiteral("Cancel")}, {}});
    return outcome.response == kAlertFirstButton;
}

QString inputString(const QString &message, const QString &question, const QString &defaultValue)
{
    const auto outcome = services().alerts->runModal(
        AlertSpec{message, question, {QStringLiteral("OK"), QStringLiteral("Cancel")}, defaultValue});
    return outcome.response == kAlertFirstButton ? outcome.accessoryText : QString();
}
