#pragma once

#include <optional>

// The few options a Linux program answers before it makes any window:
// --help and --version print and end (no display, bus or home needed); an
// unknown option is an error (2). Qt's own options pass through. None: start.
std::optional<int> answerCommandLine(int argc, char *argv[]);
