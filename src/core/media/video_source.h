#pragma once

#include "media/decode_budget.h"
#include "media/media_types.h"

#include <QImage>
#include <QString>
#include <functional>

namespace tovi {

// A video file opened with FFmpeg: its video stream's duration and its frames at given times,
// upright (display-matrix turns and mirrors, and the pixel aspect, applied), scaled down to fit
// 1600 × 1600 (never up), opaque Format_RGB32 converted with the frame's own colour matrix and
// range. Owns its demuxer and a frame-threaded decoder. One instance is used by one thread at a
// time; open one per task. A moved-from source may only be destroyed or assigned to.
class VideoSource {
public:
    enum class Accuracy {
        exact,    // the frame on screen at that time
        tolerant, // the key frame nearest to it by the file's index (without an index, the key
                  // frame before it): one frame decoded, for previews
    };

    // Reads local files only. Throws MediaError::unreadable when the file is not a container
    // FFmpeg knows, has no decodable video stream (cover art does not count) or no positive
    // finite duration, MediaError::oversized for a picture beyond the decode budget. A stream
    // that states no duration is timed from its packets' timestamps first.
    // Two decoder threads suit an export, whose GIF workers share the cores; a preview, which
    // decodes a run of frames while nothing else runs, is sooner with three.
    explicit VideoSource(const QString& path, int decoderThreads = 2);
    static constexpr int previewDecoderThreads = 3;
    ~VideoSource();
    VideoSource(VideoSource&&) noexcept;
    VideoSource& operator=(VideoSource&&) noexcept;

    // Seconds the video stream lasts (an audio track that runs longer does not count); the
    // container's duration only when the stream states none.
    double duration() const;

    // The frame at `seconds`, clamped to 0 … duration(): a time before the first frame gives the
    // first frame, one past the last frame the last. Increasing times in exact mode decode
    // forward without seeking again while no key frame lies between. Damaged packets are
    // skipped. Throws MediaError::unreadable when no frame can be decoded; the source stays
    // usable for other times. Beyond the budget's frames or time for one picture it throws
    // MediaError::oversized, and Cancelled when the stop request says so.
    //
    // On its way to an exact frame, `early` is handed the frames it passes that the decoder
    // makes anyway (after a seek the key frame first), the first at once and then one every
    // 100 ms: pictures to show until the target's, at most 800 pixels a side when no crop is
    // set. Frames shown wholly before the target are not decoded when no other frame is
    // predicted from them.
    using EarlyPicture = std::function<void(const QImage&)>;
    QImage frameAt(double seconds, Accuracy accuracy, const EarlyPicture& early = {});

    // From now on every frame comes out cropped as MediaProcessor::crop would crop the upright
    // picture: pixelSize × pixelSize, opaque Format_RGB32. Plain YUV pictures are cropped from
    // their planes before any colour conversion, which costs a fraction of converting them
    // whole; for an export, which never needs the whole picture.
    void setCrop(const CropSettings& settings, int pixelSize);
    // From now on frames come out whole again.
    void clearCrop();

    // Announces that exact frames will be asked for at start, start + step, start + 2 × step…
    // in that order, so frames shown at none of those times need not be decoded. A request off
    // that schedule ends it (the next frame then costs a seek). A new schedule's first frame is
    // sought too, unless nothing was read yet: every schedule gets the pictures a decoder just
    // opened gives, however the decoder was used before.
    void setSampling(double start, double step);

    // Asked between packets from now on.
    void setStopRequest(StopRequest stop);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tovi
