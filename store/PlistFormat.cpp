#include "PlistFormat.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <limits>
#include <plist/plist.h>

namespace {

constexpr int kDeepestNesting = 512;
constexpr qint64 kPlistEpoch = 978307200; // 2001-01-01 in Unix time

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

bool writesNegative(plist_t node)
{
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const bool negative = xml && QByteArray::fromRawData(xml, qsizetype(length)).contains("<integer>-");
    plist_to_xml_free(xml);
    return negative;
}

// plist_new_uint writes every value as signed; only the parser makes the
// unsigned kind above 2^63.
plist_t unsignedInteger(quint64 value)
{
    const QByteArray xml = "<plist version=\"1.0\"><integer>" + QByteArray::number(value) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return node ? node : plist_new_uint(value);
}

std::optional<QVariant> toVariant(plist_t node, int depth)
{
    if (depth > kDeepestNesting)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // libplist keeps negative integers as their two's complement, and
        // tells them from unsigned ones above 2^63 only when it writes them.
        if (value > uint64_t(std::numeric_limits<qint64>::max()) && !writesNegative(node))
            return QVariant(quint64(value));
        return QVariant(qint64(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING: {
        // By pointer and length: Debian's libplist asserts (and so aborts)
        // when plist_get_string_val meets a text with a NUL in it.
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text ? text : "", text ? qsizetype(length) : 0));
    }
    case PLIST_KEY: {
        char *text = nullptr;
        plist_get_key_val(node, &text);
        QString value = QString::fromUtf8(text ? text : "");
        free(text);
        return QVariant(value);
    }
    case PLIST_DATA: {
        char *data = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &data, &length);
        QByteArray value(data, qsizetype(length));
        free(data);
        return QVariant(value);
    }
    case PLIST_DATE: {
        int32_t seconds = 0, micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        const qint64 ms = (kPlistEpoch + seconds) * 1000 + micros / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant(qint64(value));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        for (uint32_t i = 0; i < count; ++i) {
            auto item = toVariant(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            list.append(*item);
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        bool ok = true;
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                free(key);
                break;
            }
            auto item = toVariant(value, depth + 1);
            if (item)
                map.insert(QString::fromUtf8(key ? key : ""), *item);
            free(key);
            if (!item) {
                ok = false;
                break;
            }
        }
        free(it);
        if (!ok)
            return std::nullopt;
        return QVariant(map);
    }
    default:
        return std::nullopt;
    }
}

plist_t fromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            return unsignedInteger(value.toULongLong());
        return plist_new_uint(value.toULongLong());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kPlistEpoch * 1000;
        const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        return plist_new_date(int32_t(seconds), int32_t((ms - seconds * 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, fromVariant(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), fromVariant(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

// Debian's libplist asserts (and so aborts the process) when it hands out a
// key holding a NUL. Such a file is no settings file: find it first.
// Hand-written, because no library tells us.
bool binaryHasNulText(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 8 + 32)
        return false; // libplist refuses it anyway
    // Every position is checked in unsigned arithmetic: the file's own
    // numbers may be anything.
    auto readInt = [&](uint64_t at, int width, uint64_t *out) {
        if (width < 1 || width > 8 || at > uint64_t(size) || uint64_t(width) > uint64_t(size) - at)
            return false;
        uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | data[at + i];
        *out = value;
        return true;
    };
    const uint8_t *trailer = data + size - 32;
    const int offsetSize = trailer[6];
    uint64_t objects = 0, table = 0;
    if (!readInt(uint64_t(size) - 24, 8, &objects) || !readInt(uint64_t(size) - 8, 8, &table))
        return false;
    if (offsetSize < 1 || offsetSize > 8 || table > uint64_t(size))
        return false;
    objects = std::min(objects, (uint64_t(size) - table) / uint64_t(offsetSize));
    for (uint64_t i = 0; i < objects; ++i) {
        uint64_t offset = 0;
        // libplist reads objects only when referenced: a bad one elsewhere
        // does not make it refuse the file, so look at every one we can.
        if (!readInt(table + i * uint64_t(offsetSize), offsetSize, &offset) || offset >= uint64_t(size))
            continue;
        const uint8_t marker = data[offset];
        const int kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6)
            continue; // not a text
        uint64_t length = marker & 0x0f;
        qsizetype start = qsizetype(offset) + 1;
        if (length == 0x0f) { // the length follows as an integer object
            if (start >= size || (data[start] >> 4) != 0x1)
                continue;
            const int width = 1 << (data[start] & 0x0f);
            if (!readInt(uint64_t(start) + 1, width, &length))
                continue;
            start += 1 + width;
        }
        const uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > uint64_t(size) || length * unit > uint64_t(size) - uint64_t(start))
            continue;
        for (uint64_t c = 0; c < length; ++c) {
            const qsizetype at = start + qsizetype(c * unit);
            if (data[at] == 0 && (unit == 1 || data[at + 1] == 0))
                return true;
        }
    }
    return false;
}

bool hasNulText(const QByteArray &bytes)
{
    if (bytes.startsWith("bplist"))
        return binaryHasNulText(bytes);
    if (bytes.contains('\0'))
        return true;
    // A character reference to NUL: &#0; &#x0; and their longer spellings.
    const qsizetype n = bytes.size();
    for (qsizetype at = bytes.indexOf("&#"); at >= 0; at = bytes.indexOf("&#", at + 2)) {
        qsizetype i = at + 2;
        if (i < n && (bytes[i] == 'x' || bytes[i] == 'X'))
            ++i;
        const qsizetype digits = i;
        while (i < n && bytes[i] == '0')
            ++i;
        if (i > digits && i < n && bytes[i] == ';')
            return true;
    }
    return false;
}

} // namespace

std::optional<QVariantMap> parsePlistDictionary(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max() || hasNulText(bytes))
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &raw);
    PlistPtr root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    auto value = toVariant(root.get(), 0);
    if (!value)
        return std::nullopt;
    return value->toMap();
}

QByteArray toXmlPlist(const QVariantMap &dictionary)
{
    PlistPtr root(fromVariant(QVariant(dictionary)));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    QByteArray out(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return out;
}
