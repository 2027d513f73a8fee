// The desktop-entry resolver on arbitrary autostart files.
#include "LoginItems.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)platform::desktopEntryProgram(contents);
    (void)platform::readAutostartEntry(contents, {QStringLiteral("XFCE")});
    return 0;
}
