#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

enum class TrackKind { Video, Audio, Other };

struct MediaTrack {
    TrackKind kind = TrackKind::Other;
    float nominalFrameRate = 0;            // video
    double width = 0, height = 0;          // video, as coded
    double rotationDegrees = 0;            // video: what display applies
    std::int64_t channels = 0;             // audio
    double sampleRate = 0;                 // audio
    std::int64_t lengthInSampleFrames = 0; // audio
};

// What a media file holds, as far as it could be read.
struct MediaAsset {
    bool isPlayable = false;
    std::vector<MediaTrack> tracks;
    // Playing time in seconds; NaN when unknown.
    double durationSeconds = 0;
    // The container's metadata, in order, under the library's own key names.
    std::vector<std::pair<QString, QString>> metadata;
};

class MediaInspector {
public:
    virtual ~MediaInspector() = default;
    // None when the path is no regular file or nothing in it can be read.
    // `preciseDuration` measures the duration from the timestamps where the
    // container only allows an estimate.
    virtual std::optional<MediaAsset> inspect(const QString &path, bool preciseDuration) = 0;
};

// FFmpeg's libavformat and libavcodec.
class FfmpegMediaInspector final : public MediaInspector {
public:
    std::optional<MediaAsset> inspect(const QString &path, bool preciseDuration) override;
};

} // namespace platform
