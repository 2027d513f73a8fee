#pragma once

#include <QString>
#include <string_view>

// One diagnostic line on standard output, written whole (lines come from the
// download worker too).
void printLine(std::string_view text);
void printLine(const QString &text);
