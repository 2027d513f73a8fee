// The settings-file reader on arbitrary bytes.
#include "PlistFormat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto dictionary = parsePlistDictionary(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (dictionary)
        (void)parsePlistDictionary(toXmlPlist(*dictionary)); // what we read, we can write and read back
    return 0;
}
