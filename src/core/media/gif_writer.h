#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <memory>
#include <vector>

namespace tovi {

// The one GIF encoder of the system: a GIF89a that loops forever (NETSCAPE2.0, count 0) whose
// every frame covers frameSize() at 0,0 with its own palette (libimagequant) and is not disposed
// of. The first frame's palette is the file's global colour table, which the smallest readers
// insist on, and a frame with the same colours carries no table of its own. Frames are opaque
// pictures, except within a clip (GifClip), where a frame's transparent pixels let the frame
// before show. Delays are whole centiseconds rounded on the running time, so n
// frames of d seconds last round(100·n·d) centiseconds in all; a single delay is at most 65535.
//
// Its parts: gif_palette (colours), gif_tolerance, gif_lzw, gif_frame_encoder (one frame) and
// gif_rate_control (a clip's room); this file's pipeline runs them and writes the stream.
// Frames are quantised on the writer's own threads a few frames ahead of the encoder and written
// in the order they were added; add() only blocks while that small pipeline is full. The output
// does not depend on the number of cores. One thread drives an instance. Destroying an unfinished
// writer abandons it: queued frames are dropped and it returns within one frame's work.
// How hard the writer works on a frame.
enum class GifEffort {
    // Trades colour error nobody sees in busy or noisy areas for a smaller file.
    smallest,
    // For pictures shown only in passing, such as the steps of a card's spin: the palette of
    // the last frame added with the smallest effort (when there is one), every pixel at its
    // nearest colour, coded plainly. A larger frame in a fraction of the time.
    quick,
};

// The frames of a clip and the room they have in all. A clip's frame at full strength is shown
// over the one before: it leaves transparent what that one already shows closely enough, and the
// writer spends the room evenly, coding more finely when the clip leaves room and more coarsely
// when it would not fit (without promising that it does).
struct GifClip {
    qint64 bytes = 0; // none: every frame is a picture of its own
    int frames = 0;
};

class GifWriter {
public:
    // Throws MediaError::encode when the size is empty or larger than a GIF can hold (65535).
    explicit GifWriter(QSize frameSize, GifClip clip = {});
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Queues `frame`, shown for `delaySeconds` (negative or NaN counts as 0). The frame must be
    // frameSize(); its alpha channel is ignored. The picture added just before, or the last one
    // added with the smallest effort, is not encoded again. The writer keeps a shallow copy, so the
    // caller may reuse or drop its image at once. Throws MediaError::encode for a frame of another
    // size or when an earlier frame failed to encode; std::logic_error after finish().
    void add(const QImage& frame, double delaySeconds, GifEffort effort = GifEffort::smallest);

    // Queues `frame` faded to `opacity` (clamped to 0…1) over black: encoded as `frame` itself
    // with its palette darkened, so every step of a fade after the first costs next to nothing.
    // A later add() or addFaded() of the same picture reuses the encoding too.
    void addFaded(const QImage& frame, double opacity, double delaySeconds);

    // Waits for the queued frames and returns the complete file. Throws MediaError::encode when
    // no frame was added or any step failed; the writer is finished either way.
    QByteArray finish();

    QSize frameSize() const;
    int frameCount() const;

private:
    struct Pipeline;
    std::unique_ptr<Pipeline> m_pipeline;
};

// The frames in order with their delays in seconds (the same count), as one GIF file.
// Throws what GifWriter throws, and MediaError::encode when the counts differ.
QByteArray encodeGif(const std::vector<QImage>& frames, const std::vector<double>& delays);

} // namespace tovi
