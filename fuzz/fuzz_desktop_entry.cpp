// The desktop-entry resolver on arbitrary autostart files.
#include "LoginItems.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bool hidden = false;
    (void)platform::desktopEntryProgram(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &hidden);
    return 0;
}
