#include "media/gif_writer.h"

#include "media/c_handles.h"
#include "media/media_error.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tovi {
namespace {

// Encoder settings: fixed, chosen by measuring size, SSIM and time on the benchmark clip
// (bench/README.md, "gif writer"). Never adjusted per file.
constexpr int kQuantizerSpeed = 8;
// libimagequant builds the palette from one pixel in this many; the full remap then refines it.
constexpr int kPaletteSampling = 16;
// Colour distance: squared luma difference plus this share of the squared chroma differences.
constexpr float kRemapChromaWeight = 0.25f;
constexpr float kMatchChromaWeight = 0.25f;
// A pixel may take another palette colour, when that lengthens an LZW match, if its squared
// distance stays within scale × (luma variance around the pixel + floor). Busy areas hide more
// error than flat ones; the floor lets flat areas absorb noise without visible steps.
constexpr float kToleranceScale = 0.5f;
constexpr float kToleranceFloor = 30.0f;
constexpr float kToleranceCap = 144.0f;
constexpr int kVarianceRadius = 2;
// Pixels whose colours agree in these bits share one nearest-colour search.
constexpr std::uint32_t kCacheMask = 0xfefefe;
// A quick frame, shown for a moment, lets colours share a search more widely.
constexpr std::uint32_t kQuickCacheMask = 0xfcfcfc;
constexpr int kCacheBits = 16;

constexpr int kMaxCentiseconds = 65535;
constexpr int kMaxSide = 65535;
constexpr int kMaxPixels = 1 << 26;
constexpr int kLastLzwCode = 4095; // as giflib does, clear the table instead of using this code

[[noreturn]] void fail() {
    throw MediaError(MediaError::encode);
}

void check(int gifStatus) {
    if (gifStatus != GIF_OK)
        fail();
}

using ColorMapPtr = CHandle<ColorMapObject, GifFreeMapObject>;

float luma(float r, float g, float b) {
    return 0.299f * r + 0.587f * g + 0.114f * b;
}

// Running time in centiseconds, rounded half away from zero. The slack keeps sums such as
// 6 × (1/12 s) = 49.999… cs on the half they stand for.
long long roundedCentiseconds(double seconds) {
    return static_cast<long long>(std::floor(seconds * 100.0 + 0.5 + 1e-7));
}

struct EncodedFrame {
    std::vector<GifColorType> palette; // a power of two, at least 2 entries
    int codeBits = 0;
    std::vector<GifByteType> blocks; // the LZW data sub-blocks, each led by its length
};

// A frame's final palette, published before its coding ends.
struct SharedPalette {
    std::vector<GifColorType> entries;
    int colors = 0;
    bool ready = false;
};

// Packs LZW codes into data sub-blocks the way giflib's own encoder does: least significant bit
// first, each code as wide as the table then requires, 255 bytes to a block.
class LzwPacker {
public:
    LzwPacker(int codeBits, std::vector<GifByteType>& blocks)
        : m_codeBits(codeBits)
        , m_blocks(blocks) {
        restart();
    }
    void restart() { m_width = m_codeBits + 1; }
    // `nextCode` is the code the table will assign next; the width grows once it no longer fits.
    void put(int code, int nextCode) {
        m_pending |= std::uint64_t(code) << m_pendingBits;
        m_pendingBits += m_width;
        while (m_pendingBits >= 8) {
            byte(static_cast<GifByteType>(m_pending & 0xff));
            m_pending >>= 8;
            m_pendingBits -= 8;
        }
        if (nextCode >= 1 << m_width)
            ++m_width;
    }
    void finish() {
        if (m_pendingBits > 0)
            byte(static_cast<GifByteType>(m_pending & 0xff));
        m_pending = 0;
        m_pendingBits = 0;
    }

private:
    void byte(GifByteType value) {
        if (m_blockStart < 0 || m_blocks[m_blockStart] == 255) {
            m_blockStart = static_cast<int>(m_blocks.size());
            m_blocks.push_back(0);
        }
        ++m_blocks[m_blockStart];
        m_blocks.push_back(value);
    }

    const int m_codeBits;
    std::vector<GifByteType>& m_blocks;
    int m_width = 0;
    std::uint64_t m_pending = 0;
    int m_pendingBits = 0;
    int m_blockStart = -1;
};

// A colour as luma and two colour differences; the distance of two colours is the squared luma
// difference plus a weight times the squared differences of the other two.
struct Color {
    float y = 0, cr = 0, cb = 0;

    static Color of(float r, float g, float b) {
        const float y = luma(r, g, b);
        return {y, r - y, b - y};
    }
    float distance(const Color& o, float chromaWeight) const {
        const float dy = y - o.y, dr = cr - o.cr, db = cb - o.cb;
        return dy * dy + chromaWeight * (dr * dr + db * db);
    }
};

// Encodes one frame: palette, nearest colours, then the LZW-aware choice of colours and the codes.
// One per worker thread; keeps its scratch buffers between frames.
class FrameEncoder {
public:
    FrameEncoder();
    // With `palette`, the frame starts from those colours instead of building its own. `chosen`
    // hears the frame's palette as soon as it is final, before the slower coding.
    using PaletteChosen = std::function<void(const std::vector<GifColorType>&, int colors)>;
    EncodedFrame encode(const QImage& frame, GifEffort effort, const SharedPalette* palette,
                        const PaletteChosen& chosen);

private:
    struct Match {
        int length = 0;
        float error = 0;
        int code = -1;
    };
    struct Candidate {
        int color;
        float error;
    };

    void loadPixels(const QImage& image, bool colors);
    void buildPalette();
    std::array<std::uint8_t, 256> setPalette(const std::array<std::uint8_t, 3 * 256>& rgb);
    int nearestColor(const Color& c, int guess) const;
    void remapNearest(std::uint32_t mask, bool shared);
    void computeTolerance();
    void planCodes(LzwPacker& packer, int codeBits);
    void plainCodes(LzwPacker& packer, int codeBits);
    void resetDictionary();
    void addCode(int prefix, int color);
    void extend(int root, int position, float rootError, Match& best);

    float matchError(int position, int color) const {
        return m_pixel[position].distance(m_palette[color], kMatchChromaWeight);
    }

    LiqAttrPtr m_attr;
    int m_width = 0;
    int m_height = 0;
    int m_pixels = 0;
    int m_colors = 0;
    std::array<std::uint8_t, 3 * 256> m_rgb{}; // palette, ascending luma
    std::array<Color, 256> m_palette{};
    std::array<float, 256> m_paletteLuma{};
    // The first palette index whose luma is at least k / kLumaSteps, for k up to 256 levels:
    // the colours within a luma distance of a pixel without searching for them.
    static constexpr int kLumaSteps = 4;
    std::array<std::uint16_t, 256 * kLumaSteps + 1> m_lumaFirst{};
    static constexpr int kBlock = 8;
    alignas(32) std::array<float, 256> m_blockY{}, m_blockCr{}, m_blockCb{};
    std::vector<std::uint32_t> m_source; // 0xRRGGBB
    std::vector<std::uint32_t> m_sample; // RGBX pixels for libimagequant
    std::vector<Color> m_pixel;
    std::vector<float> m_tolerance;
    std::vector<std::uint8_t> m_nearest;
    std::vector<std::int64_t> m_columnSum, m_columnSquares;
    std::array<std::uint32_t, 1 << kCacheBits> m_cacheKey{};
    std::array<std::uint8_t, 1 << kCacheBits> m_cacheColor{};
    // What the cache answered for: a shared palette's starting colours and the key's mask.
    std::uint32_t m_cachedMask = 0;
    int m_cachedColors = 0;
    std::array<std::uint8_t, 3 * 256> m_cachedRgb{};

    // The LZW table as every decoder builds it, as a tree: code → (prefix code, last colour).
    int m_nextCode = 0;
    int m_firstFreeCode = 0;
    // A node's fields side by side: following a string reads one place per code.
    struct Node {
        std::int16_t firstChild, nextSibling, parent, depthBelow;
        std::uint8_t suffix, head;
    };
    std::array<Node, 4096> m_node{};
    std::array<Candidate, 256> m_candidates{};
    // plainCodes' table: (code << 8 | colour) → code, twice as many slots as codes.
    static constexpr int kHashBits = 13;
    std::array<std::uint32_t, 1 << kHashBits> m_hashKey{};
    std::array<std::int16_t, 1 << kHashBits> m_hashCode{};
};

FrameEncoder::FrameEncoder()
    : m_attr(liq_attr_create()) {
    if (!m_attr || liq_set_speed(m_attr.get(), kQuantizerSpeed) != LIQ_OK ||
        liq_set_max_colors(m_attr.get(), 256) != LIQ_OK ||
        liq_set_quality(m_attr.get(), 0, 100) != LIQ_OK)
        fail();
}

EncodedFrame FrameEncoder::encode(const QImage& frame, GifEffort effort,
                                  const SharedPalette* palette, const PaletteChosen& chosen) {
    // Video frames and most pictures come as RGB32: read as they are, without a copy.
    const QImage image = frame.format() == QImage::Format_RGB32
                             ? frame
                             : frame.convertToFormat(QImage::Format_RGBX8888);
    if (image.isNull())
        fail();
    m_width = image.width();
    m_height = image.height();
    m_pixels = m_width * m_height;
    const bool quick = effort == GifEffort::quick;
    loadPixels(image, !quick);
    if (palette) {
        m_colors = palette->colors;
        std::array<std::uint8_t, 3 * 256> rgb{};
        for (int i = 0; i < m_colors; ++i) {
            rgb[3 * i] = palette->entries[i].Red;
            rgb[3 * i + 1] = palette->entries[i].Green;
            rgb[3 * i + 2] = palette->entries[i].Blue;
        }
        setPalette(rgb);
    } else {
        buildPalette();
    }
    remapNearest(quick ? kQuickCacheMask : kCacheMask, quick);

    EncodedFrame encoded;
    const unsigned mapSize = std::max(2u, std::bit_ceil(static_cast<unsigned>(m_colors)));
    encoded.palette.assign(mapSize, GifColorType{0, 0, 0});
    for (int i = 0; i < m_colors; ++i)
        encoded.palette[i] = {m_rgb[3 * i], m_rgb[3 * i + 1], m_rgb[3 * i + 2]};
    if (chosen)
        chosen(encoded.palette, m_colors);
    encoded.codeBits = std::max(2, std::countr_zero(mapSize)); // giflib's minimum code size
    LzwPacker packer(encoded.codeBits, encoded.blocks);
    if (quick) {
        plainCodes(packer, encoded.codeBits);
    } else {
        computeTolerance();
        planCodes(packer, encoded.codeBits);
    }
    return encoded;
}

// `image` is RGB32 or RGBX8888.
void FrameEncoder::loadPixels(const QImage& image, bool colors) {
    m_source.resize(static_cast<size_t>(m_pixels));
    m_pixel.resize(colors ? static_cast<size_t>(m_pixels) : 0);
    const bool rgb32 = image.format() == QImage::Format_RGB32;
    size_t p = 0;
    for (int y = 0; y < m_height; ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < m_width; ++x, ++p) {
            std::uint32_t rgb;
            if (rgb32) {
                rgb = reinterpret_cast<const QRgb*>(row)[x] & 0xffffffu;
            } else {
                const uchar* px = row + 4 * x;
                rgb = std::uint32_t(px[0]) << 16 | std::uint32_t(px[1]) << 8 | px[2];
            }
            m_source[p] = rgb;
            if (colors)
                m_pixel[p] =
                    Color::of(float(rgb >> 16), float((rgb >> 8) & 0xff), float(rgb & 0xff));
        }
    }
}

void FrameEncoder::buildPalette() {
    // One pixel in kPaletteSampling, on staggered diagonals so that every row and every column
    // is represented: thin lines and small text keep their colours.
    const int rows = (m_height + kPaletteSampling - 1) / kPaletteSampling;
    m_sample.resize(static_cast<size_t>(rows) * m_width);
    for (int j = 0; j < rows; ++j)
        for (int x = 0; x < m_width; ++x) {
            const int y = std::min(m_height - 1, j * kPaletteSampling + x % kPaletteSampling);
            const std::uint32_t rgb = m_source[static_cast<size_t>(y) * m_width + x];
            const std::uint8_t rgba[4] = {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8),
                                          std::uint8_t(rgb), 255};
            std::memcpy(&m_sample[static_cast<size_t>(j) * m_width + x], rgba, 4);
        }
    LiqImagePtr image(liq_image_create_rgba(m_attr.get(), m_sample.data(), m_width, rows, 0));
    if (!image)
        fail();
    liq_result* quantized = nullptr;
    if (liq_image_quantize(image.get(), m_attr.get(), &quantized) != LIQ_OK || !quantized)
        fail();
    LiqResultPtr result(quantized);
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count < 1 || palette->count > 256)
        fail();
    m_colors = static_cast<int>(palette->count);
    std::array<std::uint8_t, 3 * 256> rgb{};
    for (int i = 0; i < m_colors; ++i) {
        rgb[3 * i] = palette->entries[i].r;
        rgb[3 * i + 1] = palette->entries[i].g;
        rgb[3 * i + 2] = palette->entries[i].b;
    }
    setPalette(rgb);
}

// Keeps the palette in ascending luma, so that the colours within a luma distance of a pixel
// form one index range. Returns each given colour's new index.
std::array<std::uint8_t, 256>
FrameEncoder::setPalette(const std::array<std::uint8_t, 3 * 256>& rgb) {
    std::array<int, 256> order;
    std::array<Color, 256> colors;
    for (int i = 0; i < m_colors; ++i) {
        order[i] = i;
        colors[i] = Color::of(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
    }
    std::stable_sort(order.begin(), order.begin() + m_colors,
                     [&](int a, int b) { return colors[a].y < colors[b].y; });
    std::array<std::uint8_t, 256> rank{};
    for (int i = 0; i < m_colors; ++i) {
        const int from = order[i];
        std::copy_n(&rgb[3 * from], 3, &m_rgb[3 * i]);
        m_palette[i] = colors[from];
        m_paletteLuma[i] = colors[from].y;
        rank[from] = static_cast<std::uint8_t>(i);
    }
    for (int k = 0, i = 0; k < int(m_lumaFirst.size()); ++k) {
        while (i < m_colors && m_paletteLuma[i] * kLumaSteps < float(k))
            ++i;
        m_lumaFirst[k] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < 256; ++i) {
        const Color& color = i < m_colors ? m_palette[i] : Color{1e6f, 0, 0};
        m_blockY[i] = color.y;
        m_blockCr[i] = color.cr;
        m_blockCb[i] = color.cb;
    }
    return rank;
}

// Exact nearest colour, with `guess` as the distance to beat: blocks of colours outwards from the
// guess, until the luma difference alone rules a whole block out. A block is one vector of
// eight; the padding colours are too far away to ever win.
int FrameEncoder::nearestColor(const Color& c, int guess) const {
    int best = guess;
    float bestError = c.distance(m_palette[guess], kRemapChromaWeight);
    auto scan = [&](int block) {
        const int base = block * kBlock;
        // The compiler's own vectoriser leaves this loop scalar.
        using Lanes = float __attribute__((vector_size(kBlock * sizeof(float))));
        Lanes y, cr, cb;
        std::memcpy(&y, &m_blockY[base], sizeof y);
        std::memcpy(&cr, &m_blockCr[base], sizeof cr);
        std::memcpy(&cb, &m_blockCb[base], sizeof cb);
        const Lanes dy = y - c.y, dr = cr - c.cr, db = cb - c.cb;
        const Lanes error = dy * dy + kRemapChromaWeight * (dr * dr + db * db);
        // Most blocks hold nothing nearer: one predictable test each.
        float least = error[0];
        for (int k = 1; k < kBlock; ++k)
            least = error[k] < least ? error[k] : least;
        if (least >= bestError)
            return;
        bestError = least;
        for (int k = 0; k < kBlock; ++k)
            if (error[k] == least) {
                best = base + k;
                return;
            }
    };
    // Neighbouring pixels have similar lumas: start at the guess's block rather than search.
    const int blocks = (m_colors + kBlock - 1) / kBlock;
    const int start = guess / kBlock;
    for (int block = start; block < blocks; ++block) {
        const float dy = m_blockY[block * kBlock] - c.y;
        if (dy > 0 && dy * dy >= bestError)
            break;
        scan(block);
    }
    for (int block = start - 1; block >= 0; --block) {
        const float dy = c.y - m_blockY[block * kBlock + kBlock - 1];
        if (dy > 0 && dy * dy >= bestError)
            break;
        scan(block);
    }
    return best;
}

// Nearest palette colour of every pixel, then one k-means step: each colour moves to the mean of
// the pixels it got, which fits the palette to the full frame (or one taken from another frame
// to this one); or to the exact colour that most of them share, when there is one.
void FrameEncoder::remapNearest(std::uint32_t mask, bool shared) {
    m_nearest.resize(static_cast<size_t>(m_pixels));
    // Colours that agree in their top bits share one search: a difference of a level or two is
    // far below the spacing of 256 colours, and photographs repeat such colours all over.
    // Frames that start from a shared palette search for the middle of the colours a key stands
    // for, so the answers depend on the key alone and carry over to the next such frame on
    // this thread, whichever frames that is.
    if (!shared || m_cachedMask != mask || m_cachedColors != m_colors || m_cachedRgb != m_rgb) {
        m_cacheKey.fill(~0u);
        m_cachedMask = shared ? mask : 0;
        m_cachedColors = m_colors;
        m_cachedRgb = m_rgb;
    }
    const std::uint32_t middle = (~mask & 0xffffffu) >> 1 & 0x7f7f7f;
    std::array<std::int64_t, 3 * 256> sum{};
    std::array<std::int64_t, 256> count{};
    std::array<std::uint32_t, 256> majority{};
    std::array<int, 256> votes{};
    int color = 0;
    std::uint32_t previous = ~0u;
    for (int p = 0; p < m_pixels; ++p) {
        const std::uint32_t rgb = m_source[p];
        const std::uint32_t key = rgb & mask;
        if (key != previous) {
            const std::uint32_t slot = (key * 2654435761u) >> (32 - kCacheBits);
            if (m_cacheKey[slot] == key) {
                color = m_cacheColor[slot];
            } else {
                if (shared) {
                    // From the colour of nearest luma, not the last pixel's: the same answer
                    // for the same key, even between colours equally near.
                    const std::uint32_t look = key | middle;
                    const Color c =
                        Color::of(float(look >> 16), float((look >> 8) & 0xff), float(look & 0xff));
                    const auto at = std::lower_bound(m_paletteLuma.begin(),
                                                     m_paletteLuma.begin() + m_colors, c.y);
                    color =
                        nearestColor(c, std::min(int(at - m_paletteLuma.begin()), m_colors - 1));
                } else {
                    color = nearestColor(m_pixel[p], color);
                }
                m_cacheKey[slot] = key;
                m_cacheColor[slot] = static_cast<std::uint8_t>(color);
            }
            previous = key;
        }
        m_nearest[p] = static_cast<std::uint8_t>(color);
        sum[3 * color] += rgb >> 16;
        sum[3 * color + 1] += (rgb >> 8) & 0xff;
        sum[3 * color + 2] += rgb & 0xff;
        ++count[color];
        // Majority vote for the colour most of this entry's pixels have exactly.
        if (votes[color] == 0)
            majority[color] = rgb;
        votes[color] += majority[color] == rgb ? 1 : -1;
    }
    std::array<int, 256> holders{};
    for (int p = 0; p < m_pixels; ++p)
        holders[m_nearest[p]] += m_source[p] == majority[m_nearest[p]];
    std::array<std::uint8_t, 3 * 256> rgb = m_rgb;
    for (int i = 0; i < m_colors; ++i) {
        if (count[i] == 0)
            continue;
        if (2 * holders[i] > count[i]) { // a drawn background, pure black, white text: exact
            rgb[3 * i] = static_cast<std::uint8_t>(majority[i] >> 16);
            rgb[3 * i + 1] = static_cast<std::uint8_t>(majority[i] >> 8);
            rgb[3 * i + 2] = static_cast<std::uint8_t>(majority[i]);
            continue;
        }
        for (int k = 3 * i; k < 3 * i + 3; ++k)
            rgb[k] = static_cast<std::uint8_t>((sum[k] + count[i] / 2) / count[i]);
    }
    // Moving colours can reorder their lumas: sort again and relabel the pixels.
    const auto rank = setPalette(rgb);
    for (auto& index : m_nearest)
        index = rank[index];
}

// The luma variance in a (2 × radius + 1)² box around each pixel, cut at the edges, from sums
// that slide down the columns and then along the row. Luma with luma()'s weights, in thousandths
// of a level, keeps the sums exact: a flat area has no variance at all.
void FrameEncoder::computeTolerance() {
    const int w = m_width, h = m_height, r = kVarianceRadius;
    const auto luma = [this](size_t p) {
        const std::uint32_t rgb = m_source[p];
        return std::int64_t(299 * (rgb >> 16) + 587 * ((rgb >> 8) & 0xff) + 114 * (rgb & 0xff));
    };
    m_columnSum.assign(static_cast<size_t>(w), 0);
    m_columnSquares.assign(static_cast<size_t>(w), 0);
    const auto addRow = [&](int y, int sign) {
        for (int x = 0; x < w; ++x) {
            const std::int64_t v = luma(static_cast<size_t>(y) * w + x);
            m_columnSum[x] += sign * v;
            m_columnSquares[x] += sign * v * v;
        }
    };
    for (int y = 0; y < std::min(r, h); ++y)
        addRow(y, 1);
    m_tolerance.resize(static_cast<size_t>(m_pixels));
    for (int y = 0; y < h; ++y) {
        if (y + r < h)
            addRow(y + r, 1);
        if (y - r - 1 >= 0)
            addRow(y - r - 1, -1);
        const int rows = std::min(h, y + r + 1) - std::max(0, y - r);
        std::int64_t sum = 0, squares = 0;
        for (int x = 0; x < std::min(r, w); ++x) {
            sum += m_columnSum[x];
            squares += m_columnSquares[x];
        }
        for (int x = 0; x < w; ++x) {
            if (x + r < w) {
                sum += m_columnSum[x + r];
                squares += m_columnSquares[x + r];
            }
            if (x - r - 1 >= 0) {
                sum -= m_columnSum[x - r - 1];
                squares -= m_columnSquares[x - r - 1];
            }
            const std::int64_t count =
                std::int64_t(rows) * (std::min(w, x + r + 1) - std::max(0, x - r));
            const std::int64_t spread = count * squares - sum * sum; // count² × variance, ×10⁶
            // A perfectly flat area (a drawn background, the black around a turned picture) has
            // no noise to absorb and costs little anyway: it stays exact.
            const double variance = double(spread) / (double(count * count) * 1e6);
            m_tolerance[static_cast<size_t>(y) * w + x] =
                spread == 0
                    ? 0.0f
                    : std::min(kToleranceCap,
                               static_cast<float>(kToleranceScale * (variance + kToleranceFloor)));
        }
    }
}

void FrameEncoder::resetDictionary() {
    for (int c = 0; c < m_colors; ++c) {
        m_node[c].firstChild = -1;
        m_node[c].depthBelow = 0;
        m_node[c].parent = -1;
        m_node[c].suffix = static_cast<std::uint8_t>(c);
        m_node[c].head = static_cast<std::uint8_t>(c);
    }
    m_nextCode = m_firstFreeCode;
}

void FrameEncoder::addCode(int prefix, int color) {
    const int code = m_nextCode++;
    m_node[code].suffix = static_cast<std::uint8_t>(color);
    m_node[code].head = m_node[prefix].head;
    m_node[code].parent = static_cast<std::int16_t>(prefix);
    m_node[code].firstChild = -1;
    m_node[code].depthBelow = 0;
    m_node[code].nextSibling = m_node[prefix].firstChild;
    m_node[prefix].firstChild = static_cast<std::int16_t>(code);
    for (int node = prefix, depth = 1; node >= 0 && m_node[node].depthBelow < depth;
         node = m_node[node].parent, ++depth)
        m_node[node].depthBelow = static_cast<std::int16_t>(depth);
}

// Follows dictionary codes from `root` (covering `position`) while the next pixel's colour stays
// within its tolerance, taking at each step the child with the deepest subtree (the longest
// possible continuation), then the smaller error. Updates `best` only when it beats it. The code
// it stops on has no child that fits the next pixel, which keeps giflib's parse the same as ours.
void FrameEncoder::extend(int root, int position, float rootError, Match& best) {
    int code = root;
    int length = 1;
    float error = rootError;
    for (int at = position + 1;; ++at, ++length) {
        if (length > best.length || (length == best.length && error < best.error))
            best = {length, error, code};
        if (at >= m_pixels || length + m_node[code].depthBelow <= best.length)
            return; // nothing below can get longer than what we have
        const int nearest = m_nearest[at];
        const float tolerance = m_tolerance[at];
        int next = -1;
        int nextDepth = -1;
        float nextError = 0;
        if (tolerance <= 0) { // an exact pixel: only its own colour continues
            for (int child = m_node[code].firstChild; child >= 0 && next < 0;
                 child = m_node[child].nextSibling)
                next = m_node[child].suffix == nearest ? child : -1;
        } else {
            for (int child = m_node[code].firstChild; child >= 0;
                 child = m_node[child].nextSibling) {
                const int color = m_node[child].suffix;
                const float childError = color == nearest ? 0.0f : matchError(at, color);
                const int depth = m_node[child].depthBelow;
                if (childError <= tolerance &&
                    (depth > nextDepth || (depth == nextDepth && childError < nextError))) {
                    next = child;
                    nextDepth = depth;
                    nextError = childError;
                }
            }
        }
        if (next < 0)
            return;
        code = next;
        error += nextError;
    }
}

// Every pixel at its nearest colour, coded as giflib codes it: the longest string in the table,
// found through a hash of (string, next colour). What planCodes gives without tolerance, faster.
void FrameEncoder::plainCodes(LzwPacker& packer, int codeBits) {
    const int clearCode = 1 << codeBits;
    m_nextCode = clearCode + 2;
    const auto clear = [this] { m_hashKey.fill(~0u); };
    clear();
    packer.put(clearCode, m_nextCode);
    int current = m_nearest[0];
    for (int p = 1; p < m_pixels; ++p) {
        const std::uint32_t key = std::uint32_t(current) << 8 | m_nearest[p];
        std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);
        while (m_hashKey[slot] != ~0u && m_hashKey[slot] != key)
            slot = (slot + 1) & ((1u << kHashBits) - 1);
        if (m_hashKey[slot] == key) {
            current = m_hashCode[slot];
            continue;
        }
        packer.put(current, m_nextCode);
        if (m_nextCode >= kLastLzwCode) { // the table is full: start afresh, as giflib does
            packer.put(clearCode, m_nextCode);
            clear();
            m_nextCode = clearCode + 2;
            packer.restart();
        } else {
            m_hashKey[slot] = key;
            m_hashCode[slot] = static_cast<std::int16_t>(m_nextCode++);
        }
        current = m_nearest[p];
    }
    packer.put(current, m_nextCode);
    packer.put(clearCode + 1, m_nextCode); // end of information
    packer.finish();
}

// Chooses every pixel's colour while building the LZW table exactly as giflib would, and writes
// the codes. A string may also start on another colour within tolerance than the pixel's
// nearest. None of those extends the previous string (it would have taken any colour within
// tolerance), so a decoder's table stays in step with ours.
void FrameEncoder::planCodes(LzwPacker& packer, int codeBits) {
    const int clearCode = 1 << codeBits;
    m_firstFreeCode = clearCode + 2;
    resetDictionary();
    packer.put(clearCode, m_nextCode);
    int previous = -1; // code of the previous string
    int position = 0;
    while (position < m_pixels) {
        if (previous >= 0) {
            packer.put(previous, m_nextCode);
            if (m_nextCode >= kLastLzwCode) { // the table is full: start afresh, as giflib does
                packer.put(clearCode, m_nextCode);
                resetDictionary();
                packer.restart();
                previous = -1;
            }
        }
        const int nearest = m_nearest[position];
        Match best;
        int root = nearest;
        extend(root, position, 0, best);
        if (previous >= 0) {
            // An exact pixel has no other colour to start on: only the new code below.
            const float tolerance = m_tolerance[position];
            const float reach = std::sqrt(tolerance);
            const float y = m_pixel[position].y;
            // The palette is in luma order: the colours within reach form one run, read off the
            // table to a quarter level; the error test below is the exact one.
            const auto lumaIndex = [this](float luma, int stepsAbove) {
                const int k = static_cast<int>(std::floor(luma * kLumaSteps)) + stepsAbove;
                return int(m_lumaFirst[std::clamp(k, 0, int(m_lumaFirst.size()) - 1)]);
            };
            const int first = lumaIndex(y - reach, 0);
            const int last = tolerance > 0 ? lumaIndex(y + reach, 1) : first;
            int candidates = 0;
            for (int color = first; color < last; ++color) {
                // Most colours fail one test or another: keep this loop free of branches.
                const float error = matchError(position, color);
                const bool viable = (color != nearest) &
                                    (1 + m_node[color].depthBelow > best.length) &
                                    (error <= tolerance);
                m_candidates[candidates] = {color, error};
                candidates += viable;
            }
            for (int i = 0; i < candidates; ++i) {
                const Candidate candidate = m_candidates[i];
                const int before = best.code;
                extend(candidate.color, position, candidate.error, best);
                if (best.code != before)
                    root = candidate.color;
            }
            addCode(previous, root);
            if (m_node[previous].head == root) { // the new code may lie on this string's path
                best = {};
                extend(root, position, root == nearest ? 0.0f : matchError(position, root), best);
            }
        }
        position += best.length;
        previous = best.code;
    }
    packer.put(previous, m_nextCode);
    packer.put(clearCode + 1, m_nextCode); // end of information
    packer.finish();
}

int writeToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

int workerCount() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// Frames queued ahead of the workers: room for a decoder that runs ahead in bursts, while the
// pictures held stay within 16 MiB.
int pendingLimit(QSize size) {
    const qint64 frameBytes = 4 * qint64(size.width()) * size.height();
    const qint64 fits = (qint64(16) << 20) / std::max<qint64>(1, frameBytes);
    return static_cast<int>(std::clamp<qint64>(fits, workerCount() + 2, 4 * workerCount()));
}

// The workers yield to the thread that feeds them (a decoder, a painter): whatever they leave
// unused now they catch up on once the feeding stops, so the whole ends sooner. Linux gives
// each thread its own nice value.
void yieldToTheFeeder() {
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(nice + 5, 19));
}

} // namespace

struct GifWriter::Pipeline {
    struct Slot {
        QImage image;
        GifEffort effort = GifEffort::smallest;
        std::shared_ptr<Slot> paletteFrom; // a quick frame takes this frame's palette
        SharedPalette palette;
        EncodedFrame encoded;
        bool ready = false;
    };
    struct Pending {
        std::shared_ptr<Slot> slot;
        int centiseconds;
        double opacity; // of the slot's picture over black
    };

    explicit Pipeline(QSize frameSize);
    ~Pipeline();
    void workerLoop();
    void writeReadyFrames(std::unique_lock<std::mutex>& lock);
    void writeFrame(const EncodedFrame& frame, int centiseconds, double opacity);
    void queue(const QImage& frame, double opacity, double delaySeconds, GifEffort effort);
    void recordFailure(std::exception_ptr error);
    void stopWorkers();

    const QSize size;
    const int maxPending;
    QByteArray bytes;
    GifWriterPtr gif; // declared after `bytes`: closing it still writes the trailer there
    std::vector<std::thread> workers;

    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable frameWritten;
    std::deque<std::shared_ptr<Slot>> jobs;
    std::deque<Pending> pending; // added, not yet written, in order
    bool writing = false;
    bool stopping = false;
    std::exception_ptr failure;

    // Touched only by the driving thread.
    bool finished = false;
    int added = 0;
    double elapsedSeconds = 0;
    QImage lastFrame;
    std::shared_ptr<Slot> lastSlot;
    std::shared_ptr<Slot> keySlot; // the last picture encoded with the smallest effort
    QImage keyFrame;
};

GifWriter::Pipeline::Pipeline(QSize frameSize)
    : size(frameSize)
    , maxPending(pendingLimit(frameSize)) {
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxSide ||
        size.height() > kMaxSide || qint64(size.width()) * size.height() > kMaxPixels)
        fail();
    int error = 0;
    gif.reset(EGifOpen(&bytes, writeToBuffer, &error));
    if (!gif)
        fail();
    EGifSetGifVersion(gif.get(), true);
    check(EGifPutScreenDesc(gif.get(), size.width(), size.height(), 8, 0, nullptr));
    // NETSCAPE2.0 block: sub-block 1, loop count 0 = forever.
    static const GifByteType loop[] = {1, 0, 0};
    check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE));
    check(EGifPutExtensionBlock(gif.get(), 11, "NETSCAPE2.0"));
    check(EGifPutExtensionBlock(gif.get(), sizeof loop, loop));
    check(EGifPutExtensionTrailer(gif.get()));

    const int count = workerCount();
    workers.reserve(static_cast<size_t>(count));
    try {
        for (int i = 0; i < count; ++i)
            workers.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
        stopWorkers();
        fail();
    }
}

GifWriter::Pipeline::~Pipeline() {
    stopWorkers();
}

void GifWriter::Pipeline::stopWorkers() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        jobs.clear();
    }
    workAvailable.notify_all();
    frameWritten.notify_all(); // a quick frame may be waiting for a palette that never comes
    for (auto& worker : workers)
        if (worker.joinable())
            worker.join();
}

void GifWriter::Pipeline::recordFailure(std::exception_ptr error) {
    if (!failure)
        failure = std::move(error);
    stopping = true;
    jobs.clear();
    workAvailable.notify_all();
    frameWritten.notify_all();
}

void GifWriter::Pipeline::workerLoop() {
    yieldToTheFeeder();
    std::unique_ptr<FrameEncoder> encoder;
    for (;;) {
        std::shared_ptr<Slot> slot;
        const SharedPalette* palette = nullptr;
        {
            std::unique_lock lock(mutex);
            workAvailable.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (stopping)
                return;
            slot = std::move(jobs.front());
            jobs.pop_front();
            // Jobs start in order, so the frame whose palette this one takes is already being
            // encoded, or done.
            if (slot->paletteFrom) {
                frameWritten.wait(lock,
                                  [&] { return stopping || slot->paletteFrom->palette.ready; });
                if (stopping)
                    return;
                palette = &slot->paletteFrom->palette;
            }
        }
        EncodedFrame encoded;
        std::exception_ptr error;
        try {
            if (!encoder)
                encoder = std::make_unique<FrameEncoder>();
            encoded = encoder->encode(
                slot->image, slot->effort, palette,
                [&](const std::vector<GifColorType>& entries, int colors) {
                    std::lock_guard guard(mutex);
                    slot->palette = {entries, colors, true};
                    frameWritten.notify_all(); // a quick frame may be waiting for it
                });
        } catch (...) {
            error = std::current_exception();
        }
        slot->image = QImage(); // only this worker holds the picture now
        std::unique_lock lock(mutex);
        if (stopping)
            return;
        if (error) {
            recordFailure(error);
            return;
        }
        slot->encoded = std::move(encoded);
        slot->ready = true;
        writeReadyFrames(lock);
    }
}

// Whoever finds the next frame ready writes it, and every ready one after it, outside the lock;
// one writer at a time keeps giflib's stream in frame order.
void GifWriter::Pipeline::writeReadyFrames(std::unique_lock<std::mutex>& lock) {
    if (writing)
        return;
    writing = true;
    while (!failure && !pending.empty() && pending.front().slot->ready) {
        Pending next = pending.front();
        lock.unlock();
        std::exception_ptr error;
        try {
            writeFrame(next.slot->encoded, next.centiseconds, next.opacity);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error) {
            recordFailure(error);
            break;
        }
        pending.pop_front();
    }
    writing = false;
    frameWritten.notify_all();
}

void GifWriter::Pipeline::writeFrame(const EncodedFrame& frame, int centiseconds, double opacity) {
    const GraphicsControlBlock control{DISPOSE_DO_NOT, false, centiseconds, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension));
    std::vector<GifColorType> palette = frame.palette;
    if (opacity < 1) {
        const auto faded = [&](GifByteType c) {
            return static_cast<GifByteType>(std::lround(c * opacity));
        };
        for (GifColorType& color : palette)
            color = {faded(color.Red), faded(color.Green), faded(color.Blue)};
    }
    ColorMapPtr map(GifMakeMapObject(static_cast<int>(palette.size()), palette.data()));
    if (!map)
        fail();
    check(EGifPutImageDesc(gif.get(), 0, 0, size.width(), size.height(), false, map.get()));
    // The codes are ready: giflib writes them as compressed data, block by block.
    const GifByteType* block = frame.blocks.data();
    const GifByteType* end = block + frame.blocks.size();
    check(EGifPutCode(gif.get(), frame.codeBits, block));
    for (block += *block + 1; block < end; block += *block + 1)
        check(EGifPutCodeNext(gif.get(), block));
    check(EGifPutCodeNext(gif.get(), nullptr));
}

GifWriter::GifWriter(QSize frameSize)
    : m_pipeline(std::make_unique<Pipeline>(frameSize)) {}

GifWriter::~GifWriter() = default;

QSize GifWriter::frameSize() const {
    return m_pipeline->size;
}

int GifWriter::frameCount() const {
    return m_pipeline->added;
}

void GifWriter::add(const QImage& frame, double delaySeconds, GifEffort effort) {
    m_pipeline->queue(frame, 1, delaySeconds, effort);
}

void GifWriter::addFaded(const QImage& frame, double opacity, double delaySeconds) {
    m_pipeline->queue(frame, std::isnan(opacity) ? 0 : std::clamp(opacity, 0.0, 1.0), delaySeconds,
                      GifEffort::smallest);
}

void GifWriter::Pipeline::queue(const QImage& frame, double opacity, double delaySeconds,
                                GifEffort effort) {
    if (finished)
        throw std::logic_error("GifWriter::add after finish");
    if (frame.size() != size)
        fail();

    if (!(delaySeconds >= 0)) // negative or NaN
        delaySeconds = 0;
    delaySeconds = std::min(delaySeconds, 1e7);
    const double start = elapsedSeconds;
    elapsedSeconds += delaySeconds;
    const int centiseconds = static_cast<int>(std::min<long long>(
        kMaxCentiseconds, roundedCentiseconds(elapsedSeconds) - roundedCentiseconds(start)));

    // A repeated picture (a held card, a fade, a still) reuses its encoding; so does one that
    // returns after frames of another effort (a card after its spin).
    std::shared_ptr<Slot> earlier;
    if (lastSlot && frame == lastFrame)
        earlier = lastSlot;
    else if (keySlot && keySlot != lastSlot && frame == keyFrame)
        earlier = keySlot;
    std::unique_lock lock(mutex);
    frameWritten.wait(lock,
                      [&] { return failure || static_cast<int>(pending.size()) < maxPending; });
    if (failure)
        std::rethrow_exception(failure);
    if (earlier) {
        pending.push_back({earlier, centiseconds, opacity});
        lastFrame = frame;
        lastSlot = std::move(earlier);
        writeReadyFrames(lock);
    } else {
        auto slot = std::make_shared<Slot>();
        slot->image = frame;
        slot->effort = effort;
        if (effort == GifEffort::quick) {
            slot->paletteFrom = keySlot;
        } else {
            keySlot = slot;
            keyFrame = frame;
        }
        jobs.push_back(slot);
        pending.push_back({slot, centiseconds, opacity});
        lastFrame = frame;
        lastSlot = std::move(slot);
        workAvailable.notify_one();
    }
    ++added;
}

QByteArray GifWriter::finish() {
    Pipeline& p = *m_pipeline;
    if (p.finished)
        throw std::logic_error("GifWriter::finish called twice");
    p.finished = true;
    p.lastFrame = QImage();
    p.lastSlot.reset();
    p.keySlot.reset();
    p.keyFrame = QImage();
    {
        std::unique_lock lock(p.mutex);
        p.writeReadyFrames(lock); // repeats may be waiting with no worker busy
        p.frameWritten.wait(lock, [&] { return p.failure || p.pending.empty(); });
    }
    p.stopWorkers();
    if (p.failure)
        std::rethrow_exception(p.failure);
    if (p.added == 0)
        fail();
    int error = 0;
    if (EGifCloseFile(p.gif.release(), &error) != GIF_OK)
        fail();
    return std::move(p.bytes);
}

QByteArray encodeGif(const std::vector<QImage>& frames, const std::vector<double>& delays) {
    if (frames.empty() || frames.size() != delays.size())
        fail();
    GifWriter writer(frames.front().size());
    for (size_t i = 0; i < frames.size(); ++i)
        writer.add(frames[i], delays[i]);
    return writer.finish();
}

} // namespace tovi

// libimagequant runs parts of its work as OpenMP parallel regions. The writer already keeps every
// core busy with a frame a worker, so those regions run on the calling thread, as OpenMP code
// must allow: defining libgomp's entry point here binds libimagequant's calls to it. libgomp
// itself would, even for a team of one, make a futex call at every barrier: over 100,000 in an
// 8-s export, about 4 % of its CPU time.
extern "C" void GOMP_parallel(void (*region)(void*), void* data, unsigned /*threads*/,
                              unsigned /*flags*/) {
    region(data);
}
