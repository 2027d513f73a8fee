#pragma once

#include "LoginItems.h"

#include <optional>

// The entry that starts this application (if any), and where a new entry goes.
struct LoginItemReferences {
    std::optional<platform::LoginItem> existingReference;
    std::optional<platform::LoginItem> lastReference;
};

LoginItemReferences itemReferencesInLoginItems();
bool applicationIsInStartUpItems();
// Adds the application when it is absent, removes its entry when present.
void toggleLaunchAtStartup();
