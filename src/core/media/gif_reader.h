#pragma once

#include "media/gif_timing.h"

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The one reader of GIF files: a walk of the blocks and the LZW decoder, used leniently by the
// import (as a browser reads a file) and by the device listing, and strictly by the installer's
// check of a card.
namespace tovi::GifReader {

// Bytes read front to back.
class Input {
public:
    virtual ~Input() = default;
    // The next byte, or -1 at the end (or on a read error).
    virtual int byte() = 0;
    // False when the input ends first.
    virtual bool skip(qint64 count) = 0;
    // How many bytes have been read or skipped so far.
    virtual qint64 offset() const = 0;
};

class MemoryInput final : public Input {
public:
    explicit MemoryInput(const QByteArray& bytes, qint64 at = 0)
        : m_data(reinterpret_cast<const uint8_t*>(bytes.constData()))
        , m_size(bytes.size())
        , m_at(std::min(at, m_size)) {}
    int byte() override { return m_at < m_size ? m_data[m_at++] : -1; }
    bool skip(qint64 count) override;
    qint64 offset() const override { return m_at; }

private:
    const uint8_t* m_data;
    qint64 m_size;
    qint64 m_at;
};

// What becomes of a frame's area before the next one is drawn.
enum class Disposal { unspecified, keep, background, previous };

struct Frame {
    QRect rect; // on the logical screen; empty only for the blank screen of a file without one
    bool interlaced = false;
    int codeSize = 0;      // the LZW minimum code size
    qint64 dataOffset = 0; // the first data sub-block
    qint64 dataEnd = 0;    // past the empty sub-block
    qint64 palette = -1;   // where its colour table (its own, else the global one) starts
    int colours = 0;       // entries in that table; 0 without one
    int transparent = -1;  // the transparent index, -1 for none
    Disposal disposal = Disposal::unspecified;
    std::optional<int> declaredDelay; // in centiseconds, as the file gives it

    int centiseconds() const { return GifTiming::frameCentiseconds(declaredDelay); }
    double delay() const { return centiseconds() / 100.0; }
};

struct Structure {
    QSize screen; // the logical screen, as the file gives it
    // What the frames are drawn on: the screen, or, when the file gives none, the first frame's
    // extent.
    QSize canvas;
    std::vector<Frame> frames;
    std::optional<int> loops; // the loop count of the animation extension: 0 for ever
    bool whole = false;       // the trailer was reached
};

enum class Strictness {
    // As a browser: damage ends the walk and keeps the frames before it; an image without
    // pixels (no area, a code size no decoder takes, an undefined first code) is drawn by nobody,
    // and a file with nothing drawn but a screen shows the screen, blank.
    lenient,
    // Any fault or unknown block means nothing at all.
    strict
};

// Asked for each frame once its data has been walked; false ends the walk with nothing. May
// throw (the import's decode budget).
using FrameCheck = std::function<bool(const Structure&, const Frame&)>;

// Walks a GIF from its first byte without decompressing its pictures. Nothing when it is not a
// GIF, when it has no frame, or (strict) at the first fault.
std::optional<Structure> walk(Input& input, Strictness strictness, const FrameCheck& check = {});

// A frame's compressed data, byte by byte across its sub-blocks.
class SubBlocks {
public:
    explicit SubBlocks(Input& input)
        : m_input(input) {}
    // The next data byte; -1 past the empty sub-block or the end of the input.
    int next() {
        if (m_left == 0 && !nextBlock())
            return -1;
        --m_left;
        const int value = m_input.byte();
        if (value < 0)
            m_ended = true;
        return value;
    }
    // Steps past the empty sub-block; false when the input ends first.
    bool finish();

private:
    bool nextBlock();

    Input& m_input;
    int m_left = 0;
    bool m_ended = false;
    bool m_terminated = false;
};

enum class DataEnd {
    full,    // every pixel was given
    endCode, // the end code came first
    cut,     // the data ended first
    badCode  // a code no string was defined for, or a code size no decoder takes
};

struct Decoded {
    qsizetype pixels = 0;
    DataEnd end = DataEnd::full;
};

// GIF's variable-width LZW: writes at most `total` colour indices to `out`. Once the table
// holds 4,096 entries, codes go on at 12 bits without new entries until a clear code comes (or
// never), as some encoders write them.
Decoded decompress(SubBlocks& data, int codeSize, uint8_t* out, qsizetype total);

// The frame's data in `file` decompressed into `out` (sized to the frame's area).
Decoded decompress(const QByteArray& file, const Frame& frame, std::vector<uint8_t>& out);

} // namespace tovi::GifReader
