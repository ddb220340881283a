#include "small_screen_gif.h"

#include <array>
#include <cstdint>

namespace tovi::test {
namespace {

struct Refused {
    QString why;
};

class Bytes {
public:
    explicit Bytes(const QByteArray& data)
        : m_data(data) {}
    int byte() {
        if (m_at >= m_data.size())
            throw Refused{QStringLiteral("the file ends early")};
        return static_cast<std::uint8_t>(m_data[m_at++]);
    }
    int word() {
        const int low = byte();
        return low | byte() << 8;
    }
    void skipSubBlocks() {
        for (int length = byte(); length > 0; length = byte())
            for (int i = 0; i < length; ++i)
                byte();
    }

private:
    const QByteArray& m_data;
    qsizetype m_at = 0;
};

using Palette = std::vector<QRgb>;

Palette readPalette(Bytes& in, int flags) {
    Palette palette(std::size_t(2) << (flags & 7));
    for (QRgb& colour : palette) {
        const int r = in.byte(), g = in.byte();
        colour = qRgb(r, g, in.byte());
    }
    return palette;
}

// The LZW stream of one image, as indices in raster order; every code must be one the table has.
std::vector<std::uint8_t> decode(Bytes& in, int pixels) {
    const int minimum = in.byte();
    if (minimum < 2 || minimum > 8)
        throw Refused{QStringLiteral("LZW code size %1").arg(minimum)};
    const int clear = 1 << minimum, end = clear + 1;
    std::array<std::uint16_t, 4096> prefix{};
    std::array<std::uint8_t, 4096> suffix{}, first{};
    std::array<std::uint16_t, 4096> length{};
    for (int c = 0; c < clear; ++c) {
        suffix[c] = first[c] = static_cast<std::uint8_t>(c);
        length[c] = 1;
    }
    int width = minimum + 1, next = clear + 2, previous = -1;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(pixels));
    std::uint32_t bits = 0;
    int bitCount = 0, blockLeft = in.byte();
    bool ended = false;
    while (!ended) {
        while (bitCount < width) {
            if (blockLeft == 0)
                throw Refused{QStringLiteral("the codes end without an end code")};
            bits |= std::uint32_t(in.byte()) << bitCount;
            bitCount += 8;
            if (--blockLeft == 0)
                blockLeft = in.byte();
        }
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        bitCount -= width;
        if (code == clear) {
            width = minimum + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) {
            ended = true;
            continue;
        }
        if (code > next || (code == next && previous < 0))
            throw Refused{QStringLiteral("code %1 is not in the table").arg(code)};
        if (previous >= 0 && next < 4096) {
            prefix[next] = static_cast<std::uint16_t>(previous);
            first[next] = first[previous];
            suffix[next] = code == next ? first[previous] : first[code];
            length[next] = static_cast<std::uint16_t>(length[previous] + 1);
            ++next;
            if (next == 1 << width && width < 12)
                ++width;
        }
        const std::size_t at = out.size();
        out.resize(at + length[code]);
        for (int c = code, i = length[code] - 1; i >= 0; c = prefix[c], --i)
            out[at + static_cast<std::size_t>(i)] = suffix[c];
        if (static_cast<int>(out.size()) > pixels)
            throw Refused{QStringLiteral("more pixels than the image holds")};
        previous = code;
    }
    // Whatever follows the end code in the image's blocks is skipped, as firmware does.
    for (; blockLeft > 0; blockLeft = in.byte())
        for (int i = 0; i < blockLeft; ++i)
            in.byte();
    if (static_cast<int>(out.size()) != pixels)
        throw Refused{QStringLiteral("fewer pixels than the image holds")};
    return out;
}

} // namespace

SmallScreenGif readAsSmallScreen(const QByteArray& bytes) {
    SmallScreenGif gif;
    try {
        if (!bytes.startsWith("GIF89a"))
            throw Refused{QStringLiteral("not GIF89a")};
        Bytes in(bytes);
        for (int i = 0; i < 6; ++i)
            in.byte();
        const int width = in.word(), height = in.word(), flags = in.byte();
        const int background = in.byte();
        in.byte(); // aspect
        if (!(flags & 0x80))
            throw Refused{QStringLiteral("no global color table")};
        const Palette global = readPalette(in, flags);
        QImage canvas(width, height, QImage::Format_RGB32);
        canvas.fill(background < int(global.size()) ? global[background] : qRgb(0, 0, 0));
        int delay = 0, transparent = -1, disposal = 0;
        for (;;) {
            const int introducer = in.byte();
            if (introducer == 0x3b)
                break;
            if (introducer == 0x21) {
                const int label = in.byte();
                if (label == 0xf9) {
                    if (in.byte() != 4)
                        throw Refused{QStringLiteral("a control block of another size")};
                    const int packed = in.byte();
                    delay = in.word();
                    const int index = in.byte();
                    transparent = packed & 1 ? index : -1;
                    disposal = (packed >> 2) & 7;
                    in.skipSubBlocks();
                } else {
                    in.skipSubBlocks();
                }
                continue;
            }
            if (introducer != 0x2c)
                throw Refused{QStringLiteral("unknown block 0x%1").arg(introducer, 0, 16)};
            const int left = in.word(), top = in.word(), w = in.word(), h = in.word();
            const int imageFlags = in.byte();
            if (left + w > width || top + h > height || w == 0 || h == 0)
                throw Refused{QStringLiteral("an image outside the screen")};
            if (imageFlags & 0x40)
                throw Refused{QStringLiteral("interlaced")};
            if (disposal == 3)
                throw Refused{QStringLiteral("restore to previous")};
            const Palette local = imageFlags & 0x80 ? readPalette(in, imageFlags) : Palette();
            const Palette& palette = local.empty() ? global : local;
            const std::vector<std::uint8_t> indices = decode(in, w * h);
            for (int y = 0; y < h; ++y) {
                auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(top + y)) + left;
                for (int x = 0; x < w; ++x) {
                    const int index = indices[static_cast<std::size_t>(y * w + x)];
                    if (index == transparent)
                        continue;
                    if (index >= int(palette.size()))
                        throw Refused{QStringLiteral("an index past the colour table")};
                    row[x] = palette[static_cast<std::size_t>(index)];
                }
            }
            gif.frames.push_back(canvas.copy());
            gif.delays.push_back(delay);
            if (disposal == 2)
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        canvas.setPixel(left + x, top + y,
                                        global[std::size_t(background) % global.size()]);
            delay = 0;
            transparent = -1;
            disposal = 0;
        }
        if (gif.frames.empty())
            throw Refused{QStringLiteral("no image")};
    } catch (const Refused& refused) {
        gif.refusal = refused.why;
        gif.frames.clear();
        gif.delays.clear();
    }
    return gif;
}

} // namespace tovi::test
