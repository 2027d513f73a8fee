#include "ClipCheck.h"

#include <QFile>
#include <chrono>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A few hundred KiB decide it for the forms a news server publishes (MPEG
// program and transport streams, MXF); a page of HTML is refused at once.
constexpr int64_t kProbeBytes = 512 * 1024;
constexpr int64_t kAnalyseMicroseconds = 500'000;
constexpr int kMostPackets = 2000; // a first picture comes long before this
constexpr auto kLongestCheck = std::chrono::seconds(5);

int interrupted(void *deadline)
{
    return Clock::now() > *static_cast<Clock::time_point *>(deadline) ? 1 : 0;
}

struct InputCloser {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
struct CodecFreer {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
struct PacketFreer {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;

bool isOneOf(const char *names, const QStringList &formats)
{
    // A demuxer may carry several names: "mov,mp4,m4a,…".
    const QStringList own = QString::fromLatin1(names).split(QLatin1Char(','));
    for (const QString &name : own)
        if (formats.contains(name))
            return true;
    return false;
}

// A decoder for each audio and video stream (not a cover picture).
std::vector<Codec> openDecoders(AVFormatContext *format)
{
    std::vector<Codec> decoders(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        const AVCodecParameters *p = stream->codecpar;
        const bool shaped = type == AVMEDIA_TYPE_VIDEO ? p->width > 0 && p->height > 0
                                                       : p->sample_rate > 0 && p->ch_layout.nb_channels > 0;
        if ((type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) || !shaped ||
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        Codec codec(decoder ? avcodec_alloc_context3(decoder) : nullptr);
        if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
            continue;
        codec->err_recognition |= AV_EF_EXPLODE; // garbage is an error, not a concealed picture
        codec->thread_count = 1;
        if (avcodec_open2(codec.get(), decoder, nullptr) == 0)
            decoders[i] = std::move(codec);
    }
    return decoders;
}

// A stream decodes when its decoder gives several frames in a row, each of
// the same shape: random bytes between real headers may pass for a frame of
// sound now and then, never for a run of alike ones.
constexpr int kFramesInARow[] = {3, 8}; // video, audio

struct Run {
    int frames = 0;
    int width = 0, height = 0, rate = 0, channels = 0;

    bool add(const AVFrame &frame)
    {
        const bool alike = frames > 0 && frame.width == width && frame.height == height && frame.sample_rate == rate &&
                           frame.ch_layout.nb_channels == channels;
        frames = alike ? frames + 1 : 1;
        width = frame.width;
        height = frame.height;
        rate = frame.sample_rate;
        channels = frame.ch_layout.nb_channels;
        return frames >= kFramesInARow[frame.sample_rate > 0 ? 1 : 0];
    }
};

// Whether an audio or video stream decodes from the start.
bool firstFramesDecode(AVFormatContext *format)
{
    std::vector<Codec> decoders = openDecoders(format);
    std::vector<Run> runs(decoders.size());
    const std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    const std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!packet || !frame)
        return false;
    // Feeds one packet (none: the end) and tells whether the run is long enough.
    const auto feed = [&](std::size_t stream, const AVPacket *input) {
        AVCodecContext *codec = decoders[stream].get();
        if (avcodec_send_packet(codec, input) < 0) {
            runs[stream].frames = 0;
            return false;
        }
        for (int got; (got = avcodec_receive_frame(codec, frame.get())) != AVERROR(EAGAIN) && got != AVERROR_EOF;) {
            if (got < 0) {
                runs[stream].frames = 0;
                return false;
            }
            const bool enough = runs[stream].add(*frame);
            av_frame_unref(frame.get());
            if (enough)
                return true;
        }
        return false;
    };
    for (int n = 0; n < kMostPackets && av_read_frame(format, packet.get()) >= 0; ++n) {
        const auto stream = std::size_t(packet->stream_index);
        const bool decoded = stream < decoders.size() && decoders[stream] && feed(stream, packet.get());
        av_packet_unref(packet.get());
        if (decoded)
            return true;
    }
    // A short clip may hold its last frames back until the decoder is drained.
    for (std::size_t stream = 0; stream < decoders.size(); ++stream)
        if (decoders[stream] && feed(stream, nullptr))
            return true;
    return false;
}

// None when the file is a clip of one of the forms; else what FFmpeg took it
// for (empty when nothing).
std::optional<QString> judge(const QString &path, const QStringList &formats)
{
    av_log_set_level(AV_LOG_QUIET);
    Clock::time_point deadline = Clock::now() + kLongestCheck;
    AVFormatContext *raw = avformat_alloc_context();
    if (!raw)
        return QString();
    raw->interrupt_callback = {interrupted, &deadline};
    raw->probesize = kProbeBytes;
    raw->max_analyze_duration = kAnalyseMicroseconds;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return QString(); // frees the context
    const std::unique_ptr<AVFormatContext, InputCloser> format(raw);
    const QString seen =
        QString::fromUtf8(format->iformat->long_name ? format->iformat->long_name : format->iformat->name);
    if (!isOneOf(format->iformat->name, formats) || avformat_find_stream_info(format.get(), nullptr) < 0 ||
        !firstFramesDecode(format.get()))
        return seen;
    return std::nullopt;
}

} // namespace

Result<> checkClip(const QString &path, const QStringList &formats, const QByteArray &contentType, qint64 size)
{
    QStringList said;
    if (size > 0) {
        const auto seen = judge(path, formats);
        if (!seen)
            return {};
        if (!seen->isEmpty())
            said << *seen;
    }
    const QString type = QString::fromLatin1(contentType.trimmed()).section(QLatin1Char(';'), 0, 0).trimmed();
    if (!type.isEmpty())
        said.prepend(type);
    said << (size == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(size));
    return Failure{QStringLiteral("The server sent no clip: ") + said.join(QStringLiteral(", "))};
}

} // namespace platform

// The module's one entry point, looked up by the app when it first downloads.
extern "C" __attribute__((visibility("default"))) platform::Result<>
zandorupdateCheckClip(const QString &path, const QStringList &formats, const QByteArray &contentType, std::int64_t size)
{
    return platform::checkClip(path, formats, contentType, size);
}
