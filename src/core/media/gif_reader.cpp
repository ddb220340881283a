#include "gif_reader.h"

#include "media/decode_budget.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace tovi::GifReader {

bool MemoryInput::skip(qint64 count) {
    if (count > m_size - m_at) {
        m_at = m_size;
        return false;
    }
    m_at += count;
    return true;
}

bool SubBlocks::nextBlock() {
    if (m_ended)
        return false;
    const int length = m_input.byte();
    if (length <= 0) {
        m_ended = true;
        m_terminated = length == 0;
        return false;
    }
    m_left = length;
    return true;
}

bool SubBlocks::finish() {
    while (!m_ended) {
        if (m_left > 0 && !m_input.skip(std::exchange(m_left, 0)))
            return false;
        nextBlock();
    }
    return m_terminated;
}

Decoded decompress(SubBlocks& data, int codeSize, uint8_t* out, qsizetype total) {
    constexpr int tableSize = 4096;
    if (codeSize < 1 || codeSize > 11)
        return {0, DataEnd::badCode};
    std::array<uint16_t, tableSize> prefix{};
    std::array<uint8_t, tableSize> suffix{}, first{};
    std::array<uint16_t, tableSize> length{};
    const int clear = 1 << codeSize, end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[size_t(i)] = first[size_t(i)] = uint8_t(i);
        length[size_t(i)] = 1;
    }
    int width = codeSize + 1, next = clear + 2, previous = -1;
    qsizetype written = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    while (written < total) {
        while (bitCount < width) {
            const int byte = data.next();
            if (byte < 0)
                return {written, DataEnd::cut};
            bits |= uint32_t(byte) << bitCount;
            bitCount += 8;
        }
        const int code = int(bits & ((1u << width) - 1));
        bits >>= width;
        bitCount -= width;

        if (code == clear) {
            width = codeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            return {written, DataEnd::endCode};
        if (previous < 0) {
            if (code > clear)
                return {written, DataEnd::badCode};
            out[written++] = uint8_t(code);
            previous = code;
            continue;
        }
        uint8_t head;
        if (code < next)
            head = first[size_t(code)];
        else if (code == next && next < tableSize)
            head = first[size_t(previous)]; // the string being defined: previous + its own head
        else
            return {written, DataEnd::badCode};
        if (next < tableSize) {
            prefix[size_t(next)] = uint16_t(previous);
            suffix[size_t(next)] = head;
            first[size_t(next)] = first[size_t(previous)];
            length[size_t(next)] = uint16_t(length[size_t(previous)] + 1);
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        // The string of `code` (defined by now), written back to front, clipped to the picture.
        const qsizetype n = length[size_t(code)];
        qsizetype at = written + n - 1;
        for (int c = code;; c = prefix[size_t(c)]) {
            if (at < total)
                out[at] = suffix[size_t(c)];
            --at;
            if (c < clear)
                break;
        }
        written = std::min(total, written + n);
        previous = code;
    }
    return {written, DataEnd::full};
}

Decoded decompress(const QByteArray& file, const Frame& frame, std::vector<uint8_t>& out) {
    MemoryInput input(file, frame.dataOffset);
    SubBlocks data(input);
    return decompress(data, frame.codeSize, out.data(), qsizetype(out.size()));
}

namespace {

constexpr int extensionBlock = 0x21, imageBlock = 0x2C, trailerBlock = 0x3B;

int word(Input& in) { // little-endian, as GIF has it
    const int low = in.byte(), high = in.byte();
    return low < 0 || high < 0 ? -1 : low | high << 8;
}

bool skipSubBlocks(Input& in) {
    for (;;) {
        const int length = in.byte();
        if (length <= 0)
            return length == 0;
        if (!in.skip(length))
            return false;
    }
}

// A graphic control block: it describes the next image only.
struct Control {
    std::optional<int> delay;
    int transparent = -1;
    Disposal disposal = Disposal::unspecified;
};

Disposal disposalOf(int packed) {
    switch ((packed >> 2) & 7) {
    case 1:
        return Disposal::keep;
    case 2:
        return Disposal::background;
    case 3:
        return Disposal::previous;
    default:
        return Disposal::unspecified;
    }
}

// An extension after its introducer; false when it is cut off.
bool readExtension(Input& in, Control& control, Structure& gif, bool& text) {
    const int label = in.byte();
    text = text || label == 0x01;
    int length = in.byte();
    if (label < 0 || length < 0)
        return false;
    if (length == 0)
        return true;
    std::array<int, 11> head{};
    const int kept = std::min<int>(length, int(head.size()));
    for (int i = 0; i < kept; ++i)
        if ((head[size_t(i)] = in.byte()) < 0)
            return false;
    if (!in.skip(length - kept))
        return false;
    if (label == 0xF9 && length >= 4) {
        control.disposal = disposalOf(head[0]);
        control.delay = head[1] | head[2] << 8;
        control.transparent = head[0] & 1 ? head[3] : -1;
    }
    static constexpr char netscape[] = "NETSCAPE2.0", animexts[] = "ANIMEXTS1.0";
    const auto names = [&](const char* id) {
        for (int i = 0; i < 11; ++i)
            if (head[size_t(i)] != static_cast<unsigned char>(id[i]))
                return false;
        return true;
    };
    if (label != 0xFF || length != 11 || !(names(netscape) || names(animexts)))
        return skipSubBlocks(in);
    // The animation extension: a sub-block 1, then the loop count.
    for (;;) {
        length = in.byte();
        if (length <= 0)
            return length == 0;
        int used = 0;
        if (length >= 3) {
            const int id = in.byte(), loops = word(in);
            if (id < 0 || loops < 0)
                return false;
            if (id == 1)
                gif.loops = loops;
            used = 3;
        }
        if (!in.skip(length - used))
            return false;
    }
}

} // namespace

std::optional<Structure> walk(Input& in, Strictness strictness, const FrameCheck& check) {
    const bool strict = strictness == Strictness::strict;
    char signature[6] = {};
    for (char& c : signature) {
        const int byte = in.byte();
        if (byte < 0)
            return std::nullopt;
        c = char(byte);
    }
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        return std::nullopt;
    Structure gif;
    const int width = word(in), height = word(in), packed = in.byte();
    if (height < 0 || packed < 0 || !in.skip(2))
        return std::nullopt;
    gif.screen = QSize(width, height);
    if (!gif.screen.isEmpty())
        gif.canvas = gif.screen;
    qint64 globalPalette = -1;
    int globalColours = 0;
    if (packed & 0x80) {
        globalPalette = in.offset();
        globalColours = 2 << (packed & 7);
        if (!in.skip(3 * globalColours))
            return std::nullopt;
    }

    Control control;
    bool emptyImage = false, undrawable = false, fault = false;
    bool text = false; // a plain-text block, which nobody here draws
    int carried = -2;  // a block introducer read ahead
    for (;;) {
        const int next = carried != -2 ? std::exchange(carried, -2) : in.byte();
        if (next == trailerBlock) {
            gif.whole = true;
            break;
        }
        if (next == extensionBlock) {
            if (!readExtension(in, control, gif, text)) {
                fault = true;
                break;
            }
            continue;
        }
        if (next != imageBlock) { // an unknown block, or the file ends
            fault = true;
            break;
        }
        Frame frame;
        const int left = word(in), top = word(in), w = word(in), h = word(in), flags = in.byte();
        if (left < 0 || top < 0 || w < 0 || h < 0 || flags < 0) {
            fault = true;
            break;
        }
        frame.rect = QRect(left, top, w, h);
        frame.interlaced = flags & 0x40;
        if (!strict && frame.rect.isEmpty()) {
            // Drawn by nobody. Some writers give such an image neither its colour table nor
            // data: what follows may be the next block already.
            control = {};
            emptyImage = true;
            const int byte = in.byte();
            if (byte == extensionBlock || byte == imageBlock || byte == trailerBlock) {
                carried = byte;
                continue;
            }
            const int table = flags & 0x80 ? 3 * (2 << (flags & 7)) : 0;
            if (byte < 0 || (table > 0 && (!in.skip(table - 1) || in.byte() < 0)) ||
                !skipSubBlocks(in)) {
                fault = true;
                break;
            }
            continue;
        }
        frame.palette = globalPalette;
        frame.colours = globalColours;
        if (flags & 0x80) {
            frame.palette = in.offset();
            frame.colours = 2 << (flags & 7);
            if (!in.skip(3 * frame.colours)) {
                fault = true;
                break;
            }
        }
        frame.transparent = control.transparent;
        frame.disposal = control.disposal;
        frame.declaredDelay = control.delay;
        control = {};

        frame.codeSize = in.byte();
        frame.dataOffset = in.offset();
        bool drawable = true;
        if (strict) {
            if (frame.codeSize < 1 || frame.codeSize > 8 || !skipSubBlocks(in))
                return std::nullopt;
        } else {
            SubBlocks data(in);
            uint8_t firstPixel = 0;
            drawable = decompress(data, frame.codeSize, &firstPixel, 1).pixels == 1;
            if (frame.codeSize < 0 || !data.finish()) {
                fault = true;
                break;
            }
        }
        frame.dataEnd = in.offset();
        if (!drawable) {
            undrawable = true;
            continue;
        }
        if (gif.frames.empty() && gif.canvas.isEmpty())
            gif.canvas = QSize(left + w, top + h);
        gif.frames.push_back(frame);
        if (check && !check(gif, gif.frames.back()))
            return std::nullopt;
    }
    if (strict)
        return fault || !gif.whole || gif.frames.empty() ? std::nullopt : std::optional(gif);
    // A file that draws nothing but a screen shows the screen, blank (within the decode budget;
    // and not when it holds text, which would be all there is to see).
    if (gif.frames.empty() && !undrawable && !text && (emptyImage || gif.whole) &&
        DecodeBudget::fits(gif.screen))
        gif.frames.emplace_back();
    if (gif.frames.empty())
        return std::nullopt;
    return gif;
}

} // namespace tovi::GifReader
