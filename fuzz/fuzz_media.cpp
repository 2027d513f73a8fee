// Media inspection on arbitrary file contents.
#include "MediaAsset.h"

#include <QTemporaryFile>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static platform::FfmpegMediaInspector inspector;
    QTemporaryFile file(QStringLiteral("/tmp/zandor-fuzz-XXXXXX.mpeg"));
    if (!file.open())
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.flush();
    (void)inspector.inspect(file.fileName(), true);
    return 0;
}
