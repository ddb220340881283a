#pragma once

// The limits every decoder is held to, the same for each format: checked before a decoder
// allocates a picture, and between frames while it decodes.

#include <QElapsedTimer>
#include <QSize>
#include <functional>

namespace tovi {

namespace DecodeBudget {
// Picture (canvas) area: a 108-megapixel phone photo fits; at 4 bytes a pixel one picture holds
// at most 512 MiB.
inline constexpr qint64 maxPixels = qint64(1) << 27;
// Frames of an animated image, and frames a video decoder may go through for one picture.
inline constexpr int maxFrames = 10'000;
// Files decoded from memory (GIF, HEIF, APNG) are read whole first.
inline constexpr qint64 maxFileBytes = qint64(512) << 20;
// Decoding for one request: an opening, one frame, a duration scan, or a whole export.
inline constexpr int maxSeconds = 60;

// True for a picture with both sides positive and an area within maxPixels.
bool fits(qint64 width, qint64 height);
inline bool fits(QSize size) {
    return fits(size.width(), size.height());
}
// Throws MediaError::oversized unless fits().
void require(qint64 width, qint64 height);
// Throws MediaError::oversized past maxFrames.
void requireFrames(qint64 frames);
} // namespace DecodeBudget

// Asked between frames; true stops the work, which then throws Cancelled.
using StopRequest = std::function<bool()>;

// One request's clock: check() between frames throws Cancelled when the caller asks to stop and
// MediaError::oversized once the request has decoded for maxSeconds.
class DecodeClock {
public:
    DecodeClock() { m_started.start(); }
    void restart() { m_started.start(); }
    void check(const StopRequest& stop) const;

private:
    QElapsedTimer m_started;
};

} // namespace tovi
