#include "PlistFormat.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <limits>
#include <plist/plist.h>
#include <vector>

namespace {

constexpr int kDeepestNesting = 512;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

QByteArray nodeAsXml(plist_t node)
{
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    QByteArray bytes(xml, xml ? qsizetype(length) : 0);
    plist_to_xml_free(xml);
    return bytes;
}

bool writesNegative(plist_t node)
{
    return nodeAsXml(node).contains("<integer>-");
}

// Some values libplist's constructors cannot make (an unsigned integer above
// 2^63, a date outside 32-bit seconds) its XML parser can.
plist_t parsedValue(const QByteArray &element)
{
    const QByteArray xml = "<plist version=\"1.0\">" + element + "</plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return node;
}

plist_t unsignedInteger(quint64 value)
{
    plist_t node = parsedValue("<integer>" + QByteArray::number(value) + "</integer>");
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
        // plist_get_date_val gives 32-bit seconds (1932 to 2069 only); the
        // XML text libplist writes for the node holds the whole date.
        const QByteArray xml = nodeAsXml(node);
        const qsizetype start = xml.indexOf("<date>"), end = xml.indexOf("</date>");
        if (start < 0 || end < start)
            return std::nullopt;
        QDateTime date = QDateTime::fromString(QString::fromLatin1(xml.mid(start + 6, end - start - 6)), Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        return QVariant(date.toUTC());
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
        // To the second, as the XML form keeps it.
        const QString text = value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
        if (plist_t node = parsedValue("<date>" + text.toLatin1() + "</date>"))
            return node;
        return plist_new_date(0, 0);
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

// A binary property list's object table, read with every position checked
// in unsigned arithmetic: the file's own numbers may be anything.
// Hand-written, because libplist checks neither what follows nor nesting.
class BinaryPlist {
public:
    explicit BinaryPlist(const QByteArray &bytes)
        : data_(reinterpret_cast<const uint8_t *>(bytes.constData())), size_(uint64_t(bytes.size()))
    {
        if (size_ < 8 + 32)
            return; // libplist refuses it anyway
        const uint8_t *trailer = data_ + size_ - 32;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        if (!readInt(size_ - 24, 8, &objects_) || !readInt(size_ - 16, 8, &top_) || !readInt(size_ - 8, 8, &table_))
            return;
        if (offsetSize_ < 1 || offsetSize_ > 8 || table_ > size_)
            return;
        objects_ = std::min(objects_, (size_ - table_) / uint64_t(offsetSize_));
        valid_ = true;
    }

    bool valid() const { return valid_; }
    uint64_t objects() const { return objects_; }
    uint64_t top() const { return top_; }

    // Where object i starts; none when the table does not say.
    std::optional<uint64_t> offset(uint64_t i) const
    {
        uint64_t at = 0;
        if (i >= objects_ || !readInt(table_ + i * uint64_t(offsetSize_), offsetSize_, &at) || at >= size_)
            return std::nullopt;
        return at;
    }
    // An object's kind (its marker's high half), the count its marker gives
    // and where its contents start.
    bool header(uint64_t at, int *kind, uint64_t *count, uint64_t *start) const
    {
        const uint8_t marker = data_[at];
        *kind = marker >> 4;
        *count = marker & 0x0f;
        *start = at + 1;
        if (*count != 0x0f)
            return true;
        if (*start >= size_ || (data_[*start] >> 4) != 0x1)
            return false; // the count follows as an integer object
        const int width = 1 << (data_[*start] & 0x0f);
        if (!readInt(*start + 1, width, count))
            return false;
        *start += 1 + uint64_t(width);
        return true;
    }
    bool byteAt(uint64_t at, uint8_t *out) const
    {
        if (at >= size_)
            return false;
        *out = data_[at];
        return true;
    }
    bool ref(uint64_t at, uint64_t *out) const { return readInt(at, refSize_, out); }
    int refSize() const { return refSize_; }
    uint64_t size() const { return size_; }

private:
    bool readInt(uint64_t at, int width, uint64_t *out) const
    {
        if (width < 1 || width > 8 || at > size_ || uint64_t(width) > size_ - at)
            return false;
        uint64_t value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | data_[at + uint64_t(i)];
        *out = value;
        return true;
    }

    const uint8_t *data_;
    uint64_t size_;
    int offsetSize_ = 0, refSize_ = 0;
    uint64_t objects_ = 0, top_ = 0, table_ = 0;
    bool valid_ = false;
};

// Debian's libplist asserts (and so aborts the process) when it hands out a
// key holding a NUL. Such a file is no settings file: find it first.
bool binaryHasNulText(const BinaryPlist &plist)
{
    for (uint64_t i = 0; i < plist.objects(); ++i) {
        // libplist reads objects only when referenced: a bad one elsewhere
        // does not make it refuse the file, so look at every one we can.
        const auto offset = plist.offset(i);
        int kind = 0;
        uint64_t length = 0, start = 0;
        if (!offset || !plist.header(*offset, &kind, &length, &start) || (kind != 0x5 && kind != 0x6))
            continue; // not a text
        const uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > plist.size() || start > plist.size() || length * unit > plist.size() - start)
            continue;
        for (uint64_t c = 0; c < length; ++c) {
            uint8_t low = 0, high = 0;
            plist.byteAt(start + c * unit, &low);
            if (low == 0 && (unit == 1 || (plist.byteAt(start + c * unit + 1, &high) && high == 0)))
                return true;
        }
    }
    return false;
}

// libplist parses and frees nested containers by recursion: a deep file
// overflows the stack. The longest chain of containers from the top object,
// walked without recursion; a chain that loops counts as too deep.
bool binaryNestsTooDeep(const BinaryPlist &plist)
{
    enum : uint8_t { Unseen, Open, Done };
    std::vector<uint8_t> state(plist.objects(), Unseen);
    std::vector<uint32_t> height(plist.objects(), 0);
    struct Frame {
        uint64_t object, next, count, start; // count: refs, two an entry in a dictionary
    };
    std::vector<Frame> stack;
    auto enter = [&](uint64_t object) {
        if (object >= plist.objects())
            return true; // libplist refuses a reference out of the table
        if (state[object] == Open)
            return false; // a loop
        if (state[object] == Done)
            return true;
        const auto offset = plist.offset(object);
        int kind = 0;
        uint64_t count = 0, start = 0;
        state[object] = Done;
        if (!offset || !plist.header(*offset, &kind, &count, &start) || (kind != 0xA && kind != 0xC && kind != 0xD))
            return true;
        if (stack.size() >= std::size_t(kDeepestNesting))
            return false;
        state[object] = Open;
        stack.push_back({object, 0, count * (kind == 0xD ? 2 : 1), start});
        return true;
    };
    if (!enter(plist.top()))
        return true;
    while (!stack.empty()) {
        Frame &frame = stack.back();
        if (frame.next >= frame.count) {
            state[frame.object] = Done;
            const uint32_t mine = height[frame.object] + 1;
            stack.pop_back();
            if (!stack.empty())
                height[stack.back().object] = std::max(height[stack.back().object], mine);
            continue;
        }
        uint64_t child = 0;
        if (!plist.ref(frame.start + frame.next * uint64_t(plist.refSize()), &child)) {
            frame.next = frame.count; // libplist refuses a short container
            continue;
        }
        ++frame.next;
        const size_t depth = stack.size();
        if (!enter(child))
            return true;
        if (stack.size() == depth && child < plist.objects())
            height[frame.object] = std::max(height[frame.object], height[child]);
        if (height[stack.back().object] > uint32_t(kDeepestNesting))
            return true;
    }
    return plist.top() < plist.objects() && height[plist.top()] > uint32_t(kDeepestNesting);
}

// The same for XML: the deepest nesting of <array> and <dict>.
bool xmlNestsTooDeep(const QByteArray &bytes)
{
    int depth = 0;
    for (qsizetype at = bytes.indexOf('<'); at >= 0; at = bytes.indexOf('<', at + 1)) {
        const bool closing = at + 1 < bytes.size() && bytes[at + 1] == '/';
        const qsizetype name = at + (closing ? 2 : 1);
        const bool container = QByteArrayView(bytes).sliced(name).startsWith("array") ||
                               QByteArrayView(bytes).sliced(name).startsWith("dict");
        if (!container)
            continue;
        const qsizetype end = bytes.indexOf('>', name);
        if (end < 0)
            break;
        if (closing)
            --depth;
        else if (bytes[end - 1] != '/' && ++depth > kDeepestNesting)
            return true;
    }
    return false;
}

bool hasNulText(const QByteArray &bytes)
{
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

// An XML property list as the UTF-8 libplist reads: without a byte-order
// mark, and UTF-16 converted.
QByteArray asUtf8(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.mid(3);
    std::optional<QStringConverter::Encoding> utf16;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArrayView("<\0?\0", 4)))
        utf16 = QStringConverter::Utf16LE;
    else if (bytes.startsWith("\xFE\xFF") || bytes.startsWith(QByteArrayView("\0<\0?", 4)))
        utf16 = QStringConverter::Utf16BE;
    if (!utf16)
        return bytes;
    QStringDecoder decode(*utf16, QStringDecoder::Flag::Stateless);
    QString text = decode(bytes);
    if (decode.hasError())
        return bytes;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    static const QRegularExpression declared(QStringLiteral("(<\\?xml[^>]*encoding=[\"'])utf-16(le|be)?([\"'])"),
                                             QRegularExpression::CaseInsensitiveOption);
    return text.replace(declared, QStringLiteral("\\1UTF-8\\3")).toUtf8();
}

} // namespace

std::optional<QVariantMap> parsePlistDictionary(const QByteArray &file)
{
    if (file.isEmpty() || file.size() > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    QByteArray bytes;
    if (file.startsWith("bplist")) {
        const BinaryPlist binary(file);
        if (binary.valid() && (binaryHasNulText(binary) || binaryNestsTooDeep(binary)))
            return std::nullopt;
        bytes = file;
    } else {
        bytes = asUtf8(file);
        if (hasNulText(bytes) || xmlNestsTooDeep(bytes))
            return std::nullopt;
    }
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
