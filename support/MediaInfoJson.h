#pragma once

#include "TavrelUtils.h"

#include <QJsonObject>

// A MediaFileInfo as JSON, under its own field names.
QJsonObject toJson(const TavrelUtils::MediaFileInfo &info);
