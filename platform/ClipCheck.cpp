#include "ClipCheck.h"

#include <QFile>
#include <chrono>
#include <dlfcn.h>
#include <mutex>

extern "C" {
#include <libavformat/avformat.h>
}

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A few hundred KiB decide it for the forms a news server publishes (MPEG
// program and transport streams, MXF); a page of HTML is refused at once.
constexpr int64_t kProbeBytes = 512 * 1024;
constexpr int64_t kAnalyseMicroseconds = 500'000;
constexpr auto kLongestCheck = std::chrono::seconds(5);

// The few entry points of libavformat we need, loaded on first use.
struct Avformat {
    decltype(&avformat_alloc_context) allocContext = nullptr;
    decltype(&avformat_open_input) openInput = nullptr;
    decltype(&avformat_find_stream_info) findStreamInfo = nullptr;
    decltype(&avformat_close_input) closeInput = nullptr;
    decltype(&av_log_set_level) setLogLevel = nullptr;

    bool loaded() const { return allocContext && openInput && findStreamInfo && closeInput && setLogLevel; }
};

template <typename T> void resolve(void *library, const char *name, T &function)
{
    function = reinterpret_cast<T>(dlsym(library, name));
}

const Avformat &avformat()
{
    static Avformat functions;
    static std::once_flag once;
    std::call_once(once, [] {
        const QByteArray name = "libavformat.so." + QByteArray::number(LIBAVFORMAT_VERSION_MAJOR);
        void *library = dlopen(name.constData(), RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return;
        resolve(library, "avformat_alloc_context", functions.allocContext);
        resolve(library, "avformat_open_input", functions.openInput);
        resolve(library, "avformat_find_stream_info", functions.findStreamInfo);
        resolve(library, "avformat_close_input", functions.closeInput);
        resolve(library, "av_log_set_level", functions.setLogLevel); // libavutil, loaded with it
        if (functions.loaded())
            functions.setLogLevel(AV_LOG_QUIET);
    });
    return functions;
}

int interrupted(void *deadline)
{
    return Clock::now() > *static_cast<Clock::time_point *>(deadline) ? 1 : 0;
}

bool hasPictureOrSound(const QString &path)
{
    const Avformat &av = avformat();
    if (!av.loaded())
        return true; // without FFmpeg we cannot judge; the transfer itself was sound
    Clock::time_point deadline = Clock::now() + kLongestCheck;
    AVFormatContext *format = av.allocContext();
    if (!format)
        return false;
    format->interrupt_callback = {interrupted, &deadline};
    format->probesize = kProbeBytes;
    format->max_analyze_duration = kAnalyseMicroseconds;
    if (av.openInput(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return false; // frees the context
    bool found = false;
    if (av.findStreamInfo(format, nullptr) >= 0) {
        for (unsigned i = 0; i < format->nb_streams && !found; ++i) {
            const AVMediaType type = format->streams[i]->codecpar->codec_type;
            found = type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
        }
    }
    av.closeInput(&format);
    return found;
}

} // namespace

std::optional<QString> whyNotAClip(const QString &path, const QByteArray &contentType, qint64 size)
{
    if (size > 0 && hasPictureOrSound(path))
        return std::nullopt;
    const QString type = QString::fromLatin1(contentType.trimmed()).section(QLatin1Char(';'), 0, 0).trimmed();
    const QString bytes = size == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(size);
    return QStringLiteral("The server sent no clip: ") + (type.isEmpty() ? bytes : type + QStringLiteral(", ") + bytes);
}

} // namespace platform
