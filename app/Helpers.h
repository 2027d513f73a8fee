#pragma once

#include <QString>

// A modal alert with one "OK" button; returns once the user dismissed it.
void ShowInfoMessageModal(const QString &message, const QString &Info, bool useAlertSound = false);
// "OK" / "Cancel"; true only for "OK".
bool dialogOKCancel(const QString &question, const QString &text);
// A one-line prompt; the text after "OK", the empty text otherwise.
QString inputString(const QString &message, const QString &question, const QString &defaultValue);
