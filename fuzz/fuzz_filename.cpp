// The suggested-file-name rule: whatever the server sends, the name is safe.
#include "DownloadNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf('\n');
    const QByteArray header = split < 0 ? input : input.left(split);
    const QString url =
        split < 0 ? QStringLiteral("https://news.example/zandor/zandor.mpeg") : QString::fromUtf8(input.mid(split + 1));
    const QString name = platform::suggestedFilename(header, url, {QStringLiteral("mpeg"), QStringLiteral("ts")});
    if (!name.isEmpty() &&
        (!platform::isSafeFileName(name) || name.contains(QLatin1Char('/')) ||
         !(name.endsWith(".mpeg", Qt::CaseInsensitive) || name.endsWith(".ts", Qt::CaseInsensitive))))
        std::abort();
    return 0;
}
