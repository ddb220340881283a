#pragma once

#include "media/c_handles.h"

#include <QImage>
#include <QString>

namespace tovi {

// A video file opened with FFmpeg: its video stream's duration and its frames at given times,
// upright (display-matrix rotation and pixel aspect applied), bounded to 1600 × 1600, opaque
// Format_RGB32. One instance is used by one thread at a time; open one per task.
class VideoSource {
public:
    enum class Accuracy {
        exact,    // the frame on screen at that time
        tolerant, // the nearest key frame: fast, for previews
    };

    // Throws MediaError::unreadable when the file has no decodable video stream or no positive
    // finite duration.
    explicit VideoSource(const QString& path);
    ~VideoSource();
    VideoSource(VideoSource&&) noexcept;
    VideoSource& operator=(VideoSource&&) noexcept;

    // Seconds the video stream lasts (an audio track that runs longer does not count).
    double duration() const;

    // The frame at `seconds` (clamped to the stream). A time past the last frame gives the last
    // frame. Increasing times in exact mode decode forward without seeking again when the
    // target lies ahead in the same group of pictures. Throws MediaError::unreadable when no
    // frame can be decoded.
    QImage frameAt(double seconds, Accuracy accuracy);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace tovi
