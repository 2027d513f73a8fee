#pragma once

#include <QByteArray>
#include <QVariantMap>
#include <optional>

// Property-list bytes (XML or binary) to a dictionary; none when they do not
// parse, the root is not a dictionary, or the nesting is unreasonably deep.
std::optional<QVariantMap> parsePlistDictionary(const QByteArray &bytes);

// A dictionary as an XML property list, version 1.0.
QByteArray toXmlPlist(const QVariantMap &dictionary);
