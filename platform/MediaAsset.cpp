#include "MediaAsset.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Nothing we look at should take this long; a pathological file is cut off.
constexpr auto kLongestInspection = std::chrono::seconds(20);

int interrupted(void *deadline)
{
    return Clock::now() > *static_cast<Clock::time_point *>(deadline) ? 1 : 0;
}

double seconds(std::int64_t value, AVRational base)
{
    return value == AV_NOPTS_VALUE ? std::numeric_limits<double>::quiet_NaN() : double(value) * av_q2d(base);
}

double rotationOf(const AVStream *stream)
{
    size_t size = 0;
    if (const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
        matrix && size >= 9 * sizeof(int32_t))
        return -av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (const AVDictionaryEntry *tag = av_dict_get(stream->metadata, "rotate", nullptr, 0))
        return std::atof(tag->value);
    return 0;
}

// The end of the last packet minus the start of the first, over all streams.
double measuredDuration(AVFormatContext *format)
{
    AVPacket *packet = av_packet_alloc();
    double first = std::numeric_limits<double>::infinity();
    double last = -std::numeric_limits<double>::infinity();
    while (av_read_frame(format, packet) >= 0) {
        const AVStream *stream = format->streams[packet->stream_index];
        const std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (pts != AV_NOPTS_VALUE && (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ||
                                      stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)) {
            const double start = seconds(pts, stream->time_base);
            first = std::min(first, start);
            last = std::max(last, start + seconds(std::max<std::int64_t>(packet->duration, 0), stream->time_base));
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return last > first ? last - first : std::numeric_limits<double>::quiet_NaN();
}

// The sample frames a decoder gives for a stream, read from the start to
// the end: what a player would play, the encoder's delay and padding left
// out (as an MP3's LAME header marks them). None when it cannot be decoded.
std::optional<std::int64_t> decodedSampleFrames(AVFormatContext *format, int index)
{
    const AVCodecParameters *parameters = format->streams[index]->codecpar;
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    AVCodecContext *codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    std::optional<std::int64_t> frames;
    if (codec && packet && frame && avcodec_parameters_to_context(codec, parameters) >= 0 &&
        avcodec_open2(codec, decoder, nullptr) == 0) {
        frames = 0;
        const auto drain = [&] {
            while (avcodec_receive_frame(codec, frame) == 0) {
                *frames += frame->nb_samples;
                av_frame_unref(frame);
            }
        };
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0)
                drain();
            av_packet_unref(packet);
        }
        avcodec_send_packet(codec, nullptr); // what the decoder still holds
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    return frames;
}

// Back to the first packet: by time where the container keeps an index
// (Matroska), else by byte.
bool rewind(AVFormatContext *format)
{
    const std::int64_t start = format->start_time != AV_NOPTS_VALUE ? format->start_time : 0;
    return avformat_seek_file(format, -1, std::numeric_limits<std::int64_t>::min(), start, start, 0) >= 0 ||
           av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
}

} // namespace

std::optional<MediaAsset> FfmpegMediaInspector::inspect(const QString &path, bool preciseDuration)
{
    // Only a regular file is opened: a pipe or a device could block for ever.
    struct stat st {};
    const QByteArray file = QFile::encodeName(path);
    if (::stat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return std::nullopt;

    av_log_set_level(AV_LOG_QUIET);
    Clock::time_point deadline = Clock::now() + kLongestInspection;
    AVFormatContext *format = avformat_alloc_context();
    if (!format)
        return std::nullopt;
    format->interrupt_callback = {interrupted, &deadline};
    if (avformat_open_input(&format, file.constData(), nullptr, nullptr) < 0)
        return std::nullopt; // frees the context
    struct Closer {
        AVFormatContext **format;
        ~Closer() { avformat_close_input(format); }
    } closer{&format};

    MediaAsset asset;
    if (avformat_find_stream_info(format, nullptr) < 0)
        return asset;

    bool decodable = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        const AVCodecParameters *codec = stream->codecpar;
        MediaTrack track;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            track.kind = TrackKind::Video;
            AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
            track.nominalFrameRate = rate.num > 0 && rate.den > 0 ? float(av_q2d(rate)) : 0.0f;
            track.width = codec->width;
            track.height = codec->height;
            track.rotationDegrees = rotationOf(stream);
        } else if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
            track.kind = TrackKind::Audio;
            track.channels = codec->ch_layout.nb_channels;
            track.sampleRate = codec->sample_rate;
        }
        if (track.kind != TrackKind::Other && avcodec_find_decoder(codec->codec_id))
            decodable = true;
        asset.tracks.push_back(track);
    }
    asset.isPlayable = decodable;

    asset.durationSeconds = seconds(format->duration, AV_TIME_BASE_Q);
    if (preciseDuration && format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) {
        if (av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0)
            asset.durationSeconds = measuredDuration(format);
    }

    // Audio length: what a decoder yields, where the duration is wanted
    // exactly; else the stream's own duration.
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        MediaTrack &track = asset.tracks[i];
        if (track.kind != TrackKind::Audio || track.sampleRate <= 0)
            continue;
        const AVStream *stream = format->streams[i];
        double length = seconds(stream->duration, stream->time_base);
        if (!std::isfinite(length))
            length = asset.durationSeconds;
        if (std::isfinite(length))
            track.lengthInSampleFrames = std::int64_t(std::llround(length * track.sampleRate));
        if (preciseDuration && rewind(format)) {
            if (const auto decoded = decodedSampleFrames(format, int(i))) {
                track.lengthInSampleFrames = *decoded;
                const bool soundOnly = std::none_of(asset.tracks.cbegin(), asset.tracks.cend(),
                                                    [](const MediaTrack &t) { return t.kind == TrackKind::Video; });
                if (soundOnly) // then its playing time is the sound's
                    asset.durationSeconds = double(*decoded) / track.sampleRate;
            }
        }
        break; // the first audio track is the one asked about
    }

    // FFmpeg's generic keys only: containers also carry technical tags (an
    // MXF's UIDs) that are nobody's title or artist.
    static const QStringList common{
        "title",         "artist",  "album",       "album_artist", "composer",  "performer", "publisher", "date",
        "creation_time", "comment", "description", "genre",        "copyright", "language",  "encoder",   "encoded_by"};
    const AVDictionaryEntry *tag = nullptr;
    while ((tag = av_dict_get(format->metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        const QString key = QString::fromUtf8(tag->key);
        if (common.contains(key, Qt::CaseInsensitive))
            asset.metadata.emplace_back(key, QString::fromUtf8(tag->value));
    }
    return asset;
}

} // namespace platform
