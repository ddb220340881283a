#include "media/gif_writer.h"

#include "media/c_handles.h"
#include "media/media_error.h"

#include <algorithm>
#include <array>
#include <atomic>
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
#ifdef __SSE__
#include <xmmintrin.h>
#endif

namespace tovi {
namespace {

// Encoder settings: fixed, chosen by measuring size, SSIM, PSNR and time on the benchmark clips
// (bench/README.md, "gif writer" and "export"). Only a clip's rate control adjusts one of them.
constexpr int kQuantizerSpeed = 8;
// libimagequant builds the palette from one pixel in this many (in a clip's frame, of those that
// changed); the full remap then refines it.
constexpr int kPaletteSampling = 16;
constexpr int kClipPaletteSampling = 8;
// Colour distance: squared luma difference plus this share of the squared chroma differences,
// when finding the nearest colour (a clip's frames count chroma more: the eye forgives it less
// in moving pictures than the measure of a single one suggests) and when weighing the others.
constexpr float kRemapChromaWeight = 0.25f;
constexpr float kClipRemapChromaWeight = 0.5f;
constexpr float kMatchChromaWeight = 0.25f;
// A pixel may take another palette colour, when that lengthens an LZW match, if its squared
// distance stays within scale × (luma variance around the pixel + floor). Busy areas hide more
// error than flat ones; the floor lets flat areas absorb noise without visible steps.
constexpr float kToleranceScale = 0.5f;
constexpr float kToleranceFloor = 30.0f;
constexpr float kToleranceCap = 144.0f;
constexpr int kVarianceRadius = 2;
// The frames of a clip take one tolerance for every pixel outside flat areas, times the rate
// control's factor: error spread evenly costs fewer bytes for the same PSNR than error let
// into busy areas, and the bytes transparency saves pay for the difference in SSIM.
constexpr float kClipTolerance = 16.0f;
constexpr float kMinFactor = 0.1f;
constexpr float kMaxFactor = 10.0f;
// A clip's frame builds its palette from the pixels that changed (squared distance to the
// frame before above this) and from one in this many of those that did not: those mostly
// stay transparent.
constexpr float kChangedDistance = 16.0f;
constexpr int kUnchangedSampling = 16;
// The rate control aims the clip's projected size between these shares of its room, and moves
// the factor by at most this ratio from one frame to the next. The bytes of a frame change with
// about the fifth root of the tolerance, hence the steep response.
constexpr double kAimLow = 0.85;
constexpr double kAimHigh = 0.985;
constexpr double kFactorStep = 1.15;
constexpr double kFactorResponse = 4;
// Pixels whose colours agree in these bits share one nearest-colour search.
constexpr std::uint32_t kCacheMask = 0xfefefe;
// A quick frame, shown for a moment, and a clip's frame, one of many, let colours share a search
// more widely.
constexpr std::uint32_t kQuickCacheMask = 0xfcfcfc;
constexpr int kCacheBits = 16;
// A node with more children than this finds the next one by colour, not by visiting them all.
constexpr int kManyChildren = 8;
// A clip's frame publishes the picture it leaves on screen in steps of this many pixels.
constexpr int kPublishStep = 2048;

constexpr int kMaxCentiseconds = 65535;
constexpr int kMaxSide = 65535;
constexpr int kMaxPixels = 1 << 26;
constexpr int kLastLzwCode = 4095; // as giflib does, clear the table instead of using this code
// A frame's bytes besides its palette and codes: control extension, descriptor, code size, end.
constexpr int kFrameOverhead = 8 + 10 + 1 + 1;

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

// luma()'s weights in whole numbers (thousandths of a level) of a 0xRRGGBB colour: exact sums.
std::int32_t lumaThousandths(std::uint32_t rgb) {
    return std::int32_t(299 * (rgb >> 16) + 587 * ((rgb >> 8) & 0xff) + 114 * (rgb & 0xff));
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
    int transparent = -1;            // the index that lets the picture below show, when used
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

// A frame that leaves the picture below as it is: every pixel transparent, in the fewest codes
// (strings of ever more zeros, as LZW's table grows them).
EncodedFrame unchangedFrame(int pixels) {
    EncodedFrame frame;
    frame.palette.assign(2, GifColorType{0, 0, 0});
    frame.codeBits = 2;
    frame.transparent = 0;
    LzwPacker packer(frame.codeBits, frame.blocks);
    const int clearCode = 1 << frame.codeBits;
    int next = clearCode + 2;
    packer.put(clearCode, next);
    for (int length = 1, left = pixels;; ++length, ++next) {
        const int take = std::min(length, left); // `take` zeros: code 0, then clear + take
        packer.put(take == 1 ? 0 : clearCode + take, next);
        left -= take;
        if (left == 0)
            break;
    }
    packer.put(clearCode + 1, next);
    packer.finish();
    return frame;
}

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
    // A frame of a clip is shown over the picture the frame before left on screen: frames coded
    // one after another fill in that picture and read the one below in raster order, as they go.
    struct ClipLink {
        // The picture below (0xRRGGBB), or null for an opaque frame; `awaitBelow(n)` waits until
        // at least its first n pixels are final and says how many are. `previous` is the frame
        // before as it was given.
        const std::uint32_t* below = nullptr;
        std::function<int(int)> awaitBelow;
        const QImage* previous = nullptr;
        // The picture after this frame; `published(n)` says that its first n pixels are final.
        std::uint32_t* shown = nullptr;
        std::function<void(int)> published;
        // The rate control's factor for the tolerance, asked for as the coding starts; the
        // frame's bytes, told before its last pixels are published.
        std::function<float()> factor;
        std::function<void(qint64)> finished;
    };
    // Without `clip`, a single picture: opaque, with a tolerance that follows the picture.
    EncodedFrame encode(const QImage& frame, GifEffort effort, const SharedPalette* palette,
                        const PaletteChosen& chosen, const ClipLink* clip = nullptr);

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
    void buildPalette(const QImage* previous);
    std::array<std::uint8_t, 256> setPalette(const std::array<std::uint8_t, 3 * 256>& rgb);
    int nearestColor(const Color& c, int guess) const;
    // The distances from c of the palette's colours from `base` on, as many as Lanes holds.
    template <typename Lanes>
    [[gnu::always_inline]] void distances(const Color& c, int base, float chromaWeight,
                                          Lanes& error) const {
        Lanes y, cr, cb;
        std::memcpy(&y, &m_blockY[base], sizeof y);
        std::memcpy(&cr, &m_blockCr[base], sizeof cr);
        std::memcpy(&cb, &m_blockCb[base], sizeof cb);
        const Lanes dy = y - c.y, dr = cr - c.cr, db = cb - c.cb;
        error = dy * dy + chromaWeight * (dr * dr + db * db);
    }
    void remapNearest(std::uint32_t mask, bool shared);
    void computeTolerance(float uniform);
    void uniformTolerance(float uniform);
    void awaitBelow(int pixels);
    std::uint8_t* findReach(const Color& c, float tolerance, std::uint8_t* out) const;
    std::pair<const std::uint8_t*, const std::uint8_t*> reachOf(int p);
    void publish(int pixels);
    void planCodes(LzwPacker& packer, int codeBits);
    void plainCodes(LzwPacker& packer, int codeBits);
    void resetDictionary();
    void addCode(int prefix, int color);
    void extend(int root, int position, float rootError, Match& found);
    int childOf(int code, int color) const {
        const std::uint32_t key = std::uint32_t(code) << 9 | std::uint32_t(color);
        for (std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);;
             slot = (slot + 1) & ((1u << kHashBits) - 1)) {
            if (m_hashKey[slot] == key)
                return m_hashCode[slot];
            if (m_hashKey[slot] == ~0u)
                return -1;
        }
    }

    float matchError(int position, int color) const {
        return color == m_transparent
                   ? m_belowError[position]
                   : m_pixel[position].distance(m_palette[color], kMatchChromaWeight);
    }

    LiqAttrPtr m_attr;
    float m_remapWeight = kRemapChromaWeight;
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
    std::vector<std::int32_t> m_ringLuma;
    std::vector<std::uint8_t> m_ringLevel, m_ringDown, m_rowEqual;
    // A clip's frame: the transparent index (after the palette's colours) or -1, the clip's
    // link, how much of the picture below has been read (each pixel's distance to it) and how
    // much of the picture after the frame written.
    int m_transparent = -1;
    const ClipLink* m_clip = nullptr;
    int m_belowRead = 0;
    std::vector<float> m_belowError;
    int m_published = 0;
    bool m_usedTransparent = false;
    std::array<std::uint32_t, 256> m_shownRgb{}; // the palette as 0xRRGGBB
    // The colour each pixel got; the colours besides its nearest that a pixel may take, as
    // reachOf found them last (room for them all and a cache entry more). With one tolerance for
    // the frame, the colours within it of the last colour that hashed to a slot.
    std::vector<std::uint8_t> m_index;
    std::array<std::uint8_t, 257 + 8> m_reach{};
    float m_uniformTolerance = 0;
    struct ReachEntry {
        std::uint32_t key = ~0u;
        std::uint32_t count = 0;
        std::array<std::uint8_t, 8> colors{};
    };
    static constexpr int kReachCacheBits = 14;
    std::array<ReachEntry, 1 << kReachCacheBits> m_reachCache{};
    std::array<std::uint32_t, 1 << kCacheBits> m_cacheKey{};
    std::array<std::uint8_t, 1 << kCacheBits> m_cacheColor{};
    // What the cache answered for: a shared palette's starting colours and the key's mask.
    std::uint32_t m_cachedMask = 0;
    int m_cachedColors = 0;
    std::array<std::uint8_t, 3 * 256> m_cachedRgb{};

    // The LZW table as every decoder builds it, as a tree: code → (prefix code, last colour).
    int m_nextCode = 0;
    int m_firstFreeCode = 0;
    int m_longest = 1; // pixels in the longest string of the table
    // What following a string reads, side by side in eight bytes, apart from the rest: the
    // strings' walks stay within the nearest cache.
    struct Node {
        std::int16_t firstChild, nextSibling, depthBelow;
        std::uint8_t suffix;
        bool many; // more children than kManyChildren, in a clip
    };
    struct NodeInfo {
        std::int16_t parent, children, length;
        std::uint8_t head;
    };
    std::array<Node, 4096> m_node{};
    std::array<NodeInfo, 4096> m_info{};
    std::array<Candidate, 257> m_candidates{};
    // The table's codes by (code << 9 | colour), twice as many slots as codes.
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
                                  const SharedPalette* palette, const PaletteChosen& chosen,
                                  const ClipLink* clip) {
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
    const bool below = clip && clip->below;
    m_remapWeight = clip ? kClipRemapChromaWeight : kRemapChromaWeight;
    // One entry stays free for the transparent index.
    if (liq_set_max_colors(m_attr.get(), below ? 255 : 256) != LIQ_OK)
        fail();
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
        buildPalette(below ? clip->previous : nullptr);
    }
    remapNearest(quick || clip ? kQuickCacheMask : kCacheMask, quick);

    EncodedFrame encoded;
    const unsigned entries = static_cast<unsigned>(m_colors + (below ? 1 : 0));
    const unsigned mapSize = std::max(2u, std::bit_ceil(entries));
    encoded.palette.assign(mapSize, GifColorType{0, 0, 0});
    for (int i = 0; i < m_colors; ++i)
        encoded.palette[i] = {m_rgb[3 * i], m_rgb[3 * i + 1], m_rgb[3 * i + 2]};
    if (chosen)
        chosen(encoded.palette, m_colors);
    encoded.codeBits = std::max(2, std::countr_zero(mapSize)); // giflib's minimum code size
    LzwPacker packer(encoded.codeBits, encoded.blocks);
    m_clip = clip;
    m_transparent = below ? m_colors : -1;
    m_belowRead = below ? 0 : m_pixels;
    m_belowError.resize(below ? static_cast<size_t>(m_pixels) : 0);
    m_published = 0;
    m_usedTransparent = false;
    for (int i = 0; i < m_colors; ++i)
        m_shownRgb[i] = std::uint32_t(m_rgb[3 * i]) << 16 | std::uint32_t(m_rgb[3 * i + 1]) << 8 |
                        m_rgb[3 * i + 2];
    if (quick) {
        plainCodes(packer, encoded.codeBits);
    } else {
        computeTolerance(clip ? kClipTolerance * (clip->factor ? clip->factor() : 1.0f) : 0);
        planCodes(packer, encoded.codeBits);
        if (clip && clip->finished)
            clip->finished(qint64(encoded.blocks.size()) + 3 * qint64(encoded.palette.size()) +
                           kFrameOverhead);
        publish(m_pixels);
        if (m_usedTransparent)
            encoded.transparent = m_transparent;
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

// `previous`: the frame before, when this one is shown over it.
void FrameEncoder::buildPalette(const QImage* previous) {
    // One pixel in `sampling`, on staggered diagonals so that every row and every column
    // is represented: thin lines and small text keep their colours.
    const int sampling = previous ? kClipPaletteSampling : kPaletteSampling;
    const int rows = (m_height + sampling - 1) / sampling;
    m_sample.resize(static_cast<size_t>(rows) * m_width);
    const QImage before = previous ? previous->convertToFormat(QImage::Format_RGB32) : QImage();
    size_t taken = 0;
    int unchanged = 0;
    for (int j = 0; j < rows; ++j)
        for (int x = 0; x < m_width; ++x) {
            const int y = std::min(m_height - 1, j * sampling + x % sampling);
            const std::uint32_t rgb = m_source[static_cast<size_t>(y) * m_width + x];
            if (!before.isNull()) {
                const QRgb was = reinterpret_cast<const QRgb*>(before.constScanLine(y))[x];
                const Color then =
                    Color::of(float(qRed(was)), float(qGreen(was)), float(qBlue(was)));
                const bool changed = m_pixel[static_cast<size_t>(y) * m_width + x].distance(
                                         then, kMatchChromaWeight) > kChangedDistance;
                if (!changed && unchanged++ % kUnchangedSampling != 0)
                    continue;
            }
            const std::uint8_t rgba[4] = {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8),
                                          std::uint8_t(rgb), 255};
            std::memcpy(&m_sample[taken++], rgba, 4);
        }
    // A sample of one row: libimagequant sees colours, not where they are.
    const int width = before.isNull() ? m_width : static_cast<int>(taken);
    const int height = before.isNull() ? rows : 1;
    LiqImagePtr image(liq_image_create_rgba(m_attr.get(), m_sample.data(), width, height, 0));
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
    float bestError = c.distance(m_palette[guess], m_remapWeight);
    auto scan = [&](int block) {
        const int base = block * kBlock;
        // The compiler's own vectoriser leaves this loop scalar.
        using Lanes = float __attribute__((vector_size(kBlock * sizeof(float))));
        Lanes error;
        distances(c, base, m_remapWeight, error);
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
// of a level, keeps the sums exact: a flat area has no variance at all. A `uniform` tolerance
// (above 0) is every pixel's outside flat areas.
void FrameEncoder::computeTolerance(float uniform) {
    m_uniformTolerance = uniform;
    m_tolerance.resize(static_cast<size_t>(m_pixels));
    if (uniform > 0) {
        uniformTolerance(uniform);
        return;
    }
    const int w = m_width, h = m_height, r = kVarianceRadius;
    m_columnSum.assign(static_cast<size_t>(w), 0);
    m_columnSquares.assign(static_cast<size_t>(w), 0);
    const auto addRow = [&](int y, int sign) {
        for (int x = 0; x < w; ++x) {
            const std::int64_t v = lumaThousandths(m_source[static_cast<size_t>(y) * w + x]);
            m_columnSum[x] += sign * v;
            m_columnSquares[x] += sign * v * v;
        }
    };
    for (int y = 0; y < std::min(r, h); ++y)
        addRow(y, 1);
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

// `uniform` for every pixel but those whose box (as computeTolerance's) has one luma all over,
// found from equal neighbours: each row of the box must be of one luma, and each pixel of its
// column in the box must have the luma of the one below. Rows come and go through a ring.
void FrameEncoder::uniformTolerance(float uniform) {
    const int w = m_width, h = m_height, r = kVarianceRadius, span = 2 * r + 1;
    const size_t width = static_cast<size_t>(w);
    m_ringLuma.resize(span * width);
    m_ringLevel.resize(span * width); // the row segment around the pixel is of one luma
    m_ringDown.resize(span * width);  // the pixel below has the same luma
    m_rowEqual.resize(width);
    const auto ring = [&](auto& v, int y) { return &v[static_cast<size_t>(y % span) * width]; };
    const auto load = [&](int y) {
        const std::uint32_t* source = &m_source[static_cast<size_t>(y) * width];
        std::int32_t* luma = ring(m_ringLuma, y);
        for (int x = 0; x < w; ++x)
            luma[x] = lumaThousandths(source[x]);
        std::uint8_t* equal = m_rowEqual.data(); // with the pixel to the right
        for (int x = 0; x + 1 < w; ++x)
            equal[x] = luma[x] == luma[x + 1];
        std::uint8_t* level = ring(m_ringLevel, y);
        const auto levelAt = [&](int x) {
            std::uint8_t one = 1;
            for (int k = std::max(0, x - r); k < std::min(w - 1, x + r); ++k)
                one &= equal[k];
            level[x] = one;
        };
        static_assert(kVarianceRadius == 2);
        for (int x = 0; x < std::min(r, w); ++x)
            levelAt(x);
        for (int x = r; x < w - r; ++x)
            level[x] = equal[x - 2] & equal[x - 1] & equal[x] & equal[x + 1];
        for (int x = std::max(r, w - r); x < w; ++x)
            levelAt(x);
        if (y > 0) {
            const std::int32_t* above = ring(m_ringLuma, y - 1);
            std::uint8_t* down = ring(m_ringDown, y - 1);
            for (int x = 0; x < w; ++x)
                down[x] = above[x] == luma[x];
        }
    };
    for (int y = 0; y < std::min(r, h); ++y)
        load(y);
    for (int y = 0; y < h; ++y) {
        if (y + r < h)
            load(y + r);
        const int top = std::max(0, y - r), bottom = std::min(h - 1, y + r);
        std::uint8_t* flat = m_rowEqual.data();
        std::copy_n(ring(m_ringLevel, bottom), w, flat);
        for (int k = top; k < bottom; ++k) {
            const std::uint8_t* level = ring(m_ringLevel, k);
            const std::uint8_t* down = ring(m_ringDown, k);
            for (int x = 0; x < w; ++x)
                flat[x] &= level[x] & down[x];
        }
        float* tolerance = &m_tolerance[static_cast<size_t>(y) * width];
        for (int x = 0; x < w; ++x)
            tolerance[x] = flat[x] ? 0.0f : uniform;
    }
}

// Reads the picture below as far as `pixels` (or beyond, as far as it is final). The transparent
// index shows it: a colour of its own for every pixel, which becomes the pixel's nearest where it
// is at least as close as the palette's.
void FrameEncoder::awaitBelow(int pixels) {
    pixels = std::min(pixels, m_pixels);
    if (m_belowRead >= pixels)
        return;
    const int ready = std::min(m_clip->awaitBelow(pixels), m_pixels);
    for (int p = m_belowRead; p < ready; ++p) {
        const std::uint32_t rgb = m_clip->below[p];
        const Color shown =
            Color::of(float(rgb >> 16), float((rgb >> 8) & 0xff), float(rgb & 0xff));
        const float error = m_pixel[p].distance(shown, kMatchChromaWeight);
        m_belowError[p] = error;
        if (error <= m_pixel[p].distance(m_palette[m_nearest[p]], kMatchChromaWeight))
            m_nearest[p] = static_cast<std::uint8_t>(m_transparent);
    }
    m_belowRead = ready;
}

// The palette colours within `tolerance` of colour c, in luma order, written from `out` on.
// Returns the end.
std::uint8_t* FrameEncoder::findReach(const Color& c, float tolerance, std::uint8_t* out) const {
    // The palette is in luma order: the colours within reach form one run, read off the table to
    // a quarter level (truncation after an offset is floor() for any luma).
    const float reach = std::sqrt(tolerance);
    const auto lumaIndex = [this](float luma, int stepsAbove) {
        const int k = static_cast<int>(luma * kLumaSteps + 4096.0f) - 4096 + stepsAbove;
        return int(m_lumaFirst[std::clamp(k, 0, int(m_lumaFirst.size()) - 1)]);
    };
    const int first = lumaIndex(c.y - reach, 0);
    const int last = lumaIndex(c.y + reach, 1);
    // Four colours at a time: those beside the run are too far in luma alone to fit, and the
    // padding after the palette is farther still.
    using Lanes = float __attribute__((vector_size(4 * sizeof(float))));
    for (int base = first & ~3; base < last; base += 4) {
        Lanes error;
        distances(c, base, kMatchChromaWeight, error);
#ifdef __SSE__
        unsigned fits = static_cast<unsigned>(
            _mm_movemask_ps(_mm_cmple_ps(__m128(error), _mm_set1_ps(tolerance))));
#else
        unsigned fits = 0;
        for (int k = 0; k < 4; ++k)
            fits |= unsigned(error[k] <= tolerance) << k;
#endif
        for (; fits; fits &= fits - 1)
            *out++ = static_cast<std::uint8_t>(base + std::countr_zero(fits));
    }
    return out;
}

// The colours besides its nearest that pixel p may take, until the next call. Most pixels are
// asked once: keeping the answers cost more than finding the few asked again.
std::pair<const std::uint8_t*, const std::uint8_t*> FrameEncoder::reachOf(int p) {
    std::uint8_t* const start = m_reach.data();
    std::uint8_t* end = start;
    const float tolerance = m_tolerance[p];
    if (tolerance <= 0) // an exact pixel: its nearest colour only
        return {start, end};
    const int nearest = m_nearest[p];
    // With one tolerance for the frame, pixels of one colour reach the same colours.
    const std::uint32_t rgb = m_source[p];
    ReachEntry* entry = nullptr;
    if (m_uniformTolerance > 0)
        entry = &m_reachCache[(rgb * 2654435761u) >> (32 - kReachCacheBits)];
    if (entry && entry->key == rgb) {
        std::memcpy(start, entry->colors.data(), entry->colors.size());
        end = start + entry->count;
    } else {
        end = findReach(m_pixel[p], tolerance, start);
        if (entry && end - start <= long(entry->colors.size())) {
            entry->key = rgb;
            entry->count = static_cast<std::uint8_t>(end - start);
            std::memcpy(entry->colors.data(), start, entry->colors.size());
        }
    }
    std::uint8_t* kept = start;
    for (const std::uint8_t* i = start; i < end; ++i) {
        *kept = *i;
        kept += *i != nearest;
    }
    end = kept;
    if (m_transparent >= 0 && nearest != m_transparent && m_belowError[p] <= tolerance)
        *end++ = static_cast<std::uint8_t>(m_transparent);
    return {start, end};
}

// Writes the picture after the frame up to pixel `pixels`, whose colours are chosen by then.
void FrameEncoder::publish(int pixels) {
    if (!m_clip || pixels <= m_published)
        return;
    std::uint32_t* shown = m_clip->shown;
    bool through = false;
    for (int p = m_published; p < pixels; ++p) {
        const int i = m_index[p];
        through |= i == m_transparent;
        shown[p] = i == m_transparent ? m_clip->below[p] : m_shownRgb[i];
    }
    m_usedTransparent |= through;
    m_published = pixels;
    m_clip->published(pixels);
}

void FrameEncoder::resetDictionary() {
    for (int c = 0; c < m_colors + (m_transparent >= 0); ++c) {
        m_node[c].firstChild = -1;
        m_node[c].depthBelow = 0;
        m_node[c].suffix = static_cast<std::uint8_t>(c);
        m_node[c].many = false;
        m_info[c].children = 0;
        m_info[c].length = 1;
        m_info[c].parent = -1;
        m_info[c].head = static_cast<std::uint8_t>(c);
    }
    m_nextCode = m_firstFreeCode;
    m_longest = 1;
    if (m_clip)
        m_hashKey.fill(~0u);
}

void FrameEncoder::addCode(int prefix, int color) {
    const int code = m_nextCode++;
    m_node[code].suffix = static_cast<std::uint8_t>(color);
    m_node[code].firstChild = -1;
    m_node[code].depthBelow = 0;
    m_node[code].many = false;
    m_node[code].nextSibling = m_node[prefix].firstChild;
    m_node[prefix].firstChild = static_cast<std::int16_t>(code);
    m_info[code].head = m_info[prefix].head;
    m_info[code].parent = static_cast<std::int16_t>(prefix);
    m_info[code].children = 0;
    m_info[code].length = static_cast<std::int16_t>(m_info[prefix].length + 1);
    m_longest = std::max<int>(m_longest, m_info[code].length);
    ++m_info[prefix].children;
    m_node[prefix].many = m_clip && m_info[prefix].children > kManyChildren;
    if (m_clip) { // only a clip's transparent runs leave nodes with many children
        const std::uint32_t key = std::uint32_t(prefix) << 9 | std::uint32_t(color);
        std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);
        while (m_hashKey[slot] != ~0u)
            slot = (slot + 1) & ((1u << kHashBits) - 1);
        m_hashKey[slot] = key;
        m_hashCode[slot] = static_cast<std::int16_t>(code);
    }
    for (int node = prefix, depth = 1; node >= 0 && m_node[node].depthBelow < depth;
         node = m_info[node].parent, ++depth)
        m_node[node].depthBelow = static_cast<std::int16_t>(depth);
}

// Follows dictionary codes from `root` (covering `position`) while the next pixel's colour stays
// within its tolerance, taking at each step the child with the deepest subtree (the longest
// possible continuation), then the smaller error. Updates `best` only when it beats it. The code
// it stops on has no child that fits the next pixel, which keeps giflib's parse the same as ours.
void FrameEncoder::extend(int root, int position, float rootError, Match& found) {
    // The best match in locals: stores through `found` would hold up the loads after them.
    Match best = found;
    int code = root;
    int length = 1;
    float error = rootError;
    for (int at = position + 1;; ++at, ++length) {
        if (length > best.length || (length == best.length && error < best.error))
            best = {length, error, code};
        if (at >= m_pixels || length + m_node[code].depthBelow <= best.length)
            break; // nothing below can get longer than what we have
        const int nearest = m_nearest[at];
        const float tolerance = m_tolerance[at];
        int next = -1;
        int nextDepth = -1;
        float nextError = 0;
        if (m_node[code].many) {
            // Many strings go on from here (after a transparent run, say): look up the few
            // colours this pixel may take instead of weighing every one.
            next = childOf(code, nearest);
            if (next >= 0)
                nextDepth = m_node[next].depthBelow;
            // The nearest colour's child, when no child goes deeper, wins: its error is none.
            const bool deepest = nextDepth == m_node[code].depthBelow - 1;
            const auto [from, to] =
                deepest ? std::pair<const std::uint8_t*, const std::uint8_t*>() : reachOf(at);
            for (const std::uint8_t* i = from; i < to; ++i) {
                const int child = childOf(code, *i);
                if (child < 0 || m_node[child].depthBelow < nextDepth)
                    continue;
                const float childError = matchError(at, *i);
                if (m_node[child].depthBelow > nextDepth || childError < nextError) {
                    next = child;
                    nextDepth = m_node[child].depthBelow;
                    nextError = childError;
                }
            }
        } else if (tolerance <= 0) { // an exact pixel: only its own colour continues
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
            break;
        code = next;
        error += nextError;
    }
    found = best;
}

// Every pixel at its nearest colour, coded as giflib codes it: the longest string in the table,
// found through the table's hash. What planCodes gives without tolerance, faster.
void FrameEncoder::plainCodes(LzwPacker& packer, int codeBits) {
    const int clearCode = 1 << codeBits;
    m_nextCode = clearCode + 2;
    const auto clear = [this] { m_hashKey.fill(~0u); };
    clear();
    packer.put(clearCode, m_nextCode);
    int current = m_nearest[0];
    for (int p = 1; p < m_pixels; ++p) {
        const std::uint32_t key = std::uint32_t(current) << 9 | m_nearest[p];
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
    m_index.resize(m_clip ? static_cast<size_t>(m_pixels) : 0);
    if (m_uniformTolerance > 0)
        for (ReachEntry& entry : m_reachCache)
            entry.key = ~0u;
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
        // The strings tried here reach at most one pixel beyond the longest in the table.
        awaitBelow(position + m_longest + 2);
        const int nearest = m_nearest[position];
        Match best;
        int root = nearest;
        extend(root, position, 0, best);
        if (previous >= 0) {
            // An exact pixel has no other colour to start on: only the new code below.
            int candidates = 0;
            // No string in the table is longer than what the nearest colour starts.
            const auto [from, to] = best.length >= m_longest
                                        ? std::pair<const std::uint8_t*, const std::uint8_t*>()
                                        : reachOf(position);
            for (const std::uint8_t* i = from; i < to; ++i)
                if (1 + m_node[*i].depthBelow > best.length)
                    m_candidates[candidates++] = {*i, matchError(position, *i)};
            for (int i = 0; i < candidates; ++i) {
                const Candidate candidate = m_candidates[i];
                const int before = best.code;
                extend(candidate.color, position, candidate.error, best);
                if (best.code != before)
                    root = candidate.color;
            }
            addCode(previous, root);
            // The new code may lie on this string's path and lead to a longer string, but only
            // when it is itself at least as long as the string found: otherwise a clip's frame
            // keeps what it has. (Single pictures walk again from scratch, as they always have.)
            if (m_info[previous].head == root &&
                (!m_clip || m_info[previous].length + 1 >= best.length)) {
                if (!m_clip)
                    best = {};
                extend(root, position, root == nearest ? 0.0f : matchError(position, root), best);
            }
        }
        if (m_clip) {
            for (int code = best.code, p = position + best.length - 1; p >= position;
                 --p, code = m_info[code].parent)
                m_index[p] = m_node[code].suffix;
            if (position + best.length - m_published >= kPublishStep)
                publish(position + best.length);
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
        // A frame of a clip: the frames shown just before (the one below, and the one before
        // that for the rate control) and its picture as given. The picture on screen after this
        // frame, final for its first `shownUpTo` pixels, kept until the next frame has read it.
        // The frame's place, the rate control's factor for it, the clip's bytes up to it and
        // its recent bytes per frame.
        bool clip = false;
        bool overBelow = false; // whether `below` was set, even once it is let go
        std::shared_ptr<Slot> below, twoBelow;
        QImage previous;
        std::vector<std::uint32_t> shown;
        std::atomic<int> shownUpTo{0};
        int index = 0;
        float factor = 1;
        bool factorKnown = false;
        qint64 spent = 0;
        double recent = 0;
        EncodedFrame encoded;
        bool ready = false;
    };
    struct Pending {
        std::shared_ptr<Slot> slot;
        int centiseconds;
        double opacity; // of the slot's picture over black
    };

    Pipeline(QSize frameSize, GifClip clipRoom);
    ~Pipeline();
    void workerLoop();
    void writeReadyFrames(std::unique_lock<std::mutex>& lock);
    void writeFrame(const EncodedFrame& frame, int centiseconds, double opacity);
    void queue(const QImage& frame, double opacity, double delaySeconds, GifEffort effort);
    void recordFailure(std::exception_ptr error);
    void encodeSlot(FrameEncoder& encoder, Slot& slot, const SharedPalette* palette);
    int awaitPicture(Slot& slot, int pixels);
    void publishPicture(Slot& slot, int pixels);
    float factorFor(Slot& slot);
    void stopWorkers();

    const QSize size;
    const GifClip clip;
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
    std::atomic<int> awaitingPictures{0};
    std::exception_ptr failure;

    // Touched only by the driving thread.
    bool finished = false;
    int added = 0;
    double elapsedSeconds = 0;
    QImage lastFrame;
    std::shared_ptr<Slot> lastSlot;
    std::shared_ptr<Slot> lastBelow; // what lastSlot was shown over
    double lastOpacity = 1;
    std::shared_ptr<Slot> keySlot;   // the last picture encoded with the smallest effort
    std::shared_ptr<Slot> unchanged; // a clip's picture shown again
    QImage keyFrame;
};

GifWriter::Pipeline::Pipeline(QSize frameSize, GifClip clipRoom)
    : size(frameSize)
    , clip(clipRoom)
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
        std::exception_ptr error;
        try {
            if (!encoder)
                encoder = std::make_unique<FrameEncoder>();
            encodeSlot(*encoder, *slot, palette);
        } catch (...) {
            error = std::current_exception();
        }
        slot->image = QImage(); // only this worker holds the pictures now
        slot->previous = QImage();
        std::unique_lock lock(mutex);
        if (stopping)
            return;
        if (error) {
            recordFailure(error);
            return;
        }
        if (slot->below) { // the next frame reads this one's picture, not the one below
            slot->below->shown = {};
            slot->below.reset();
        }
        slot->twoBelow.reset();
        slot->ready = true;
        writeReadyFrames(lock);
    }
}

void GifWriter::Pipeline::encodeSlot(FrameEncoder& encoder, Slot& slot,
                                     const SharedPalette* palette) {
    const auto chosen = [&](const std::vector<GifColorType>& entries, int colors) {
        std::lock_guard guard(mutex);
        slot.palette = {entries, colors, true};
        frameWritten.notify_all(); // a quick frame may be waiting for it
    };
    if (!slot.clip) {
        slot.encoded = encoder.encode(slot.image, slot.effort, palette, chosen);
        return;
    }
    FrameEncoder::ClipLink link;
    if (slot.below) {
        Slot& below = *slot.below;
        link.below = below.shown.data();
        link.awaitBelow = [this, &below](int pixels) { return awaitPicture(below, pixels); };
        link.previous = &slot.previous;
    }
    link.shown = slot.shown.data();
    link.published = [this, &slot](int pixels) { publishPicture(slot, pixels); };
    link.factor = [this, &slot] { return factorFor(slot); };
    link.finished = [&slot](qint64 frameBytes) {
        // The frame below has published all its pixels, and told its bytes before that.
        const Slot* below = slot.below.get();
        slot.spent = (below ? below->spent : 0) + frameBytes;
        // The first frame, opaque, says little about the others.
        slot.recent = below && below->index > 0 ? 0.75 * below->recent + 0.25 * double(frameBytes)
                                                : double(frameBytes);
    };
    slot.encoded = encoder.encode(slot.image, slot.effort, palette, chosen, &link);
}

// A frame shown over the one before may start as soon as that one's first rows are final: it
// waits only for what it reads. Throws once the writer stops.
int GifWriter::Pipeline::awaitPicture(Slot& slot, int pixels) {
    int ready = slot.shownUpTo.load();
    if (ready >= pixels)
        return ready;
    std::unique_lock lock(mutex);
    ++awaitingPictures;
    frameWritten.wait(lock, [&] { return stopping || (ready = slot.shownUpTo.load()) >= pixels; });
    --awaitingPictures;
    if (stopping)
        fail();
    return ready;
}

void GifWriter::Pipeline::publishPicture(Slot& slot, int pixels) {
    slot.shownUpTo.store(pixels);
    if (awaitingPictures.load() > 0) {
        std::lock_guard lock(mutex);
        frameWritten.notify_all();
    }
}

// The rate control: the factor of the frame before, moved when the clip's projected size leaves
// its aim. The projection comes from the frame two before, the last one surely coded in full,
// so the factors do not depend on how the frames were scheduled.
float GifWriter::Pipeline::factorFor(Slot& slot) {
    float factor = 1;
    if (slot.below) {
        std::unique_lock lock(mutex);
        frameWritten.wait(lock, [&] { return stopping || slot.below->factorKnown; });
        if (stopping)
            fail();
        factor = slot.below->factor;
    }
    if (slot.twoBelow && slot.twoBelow->index > 0) {
        const Slot& from = *slot.twoBelow;
        awaitPicture(*slot.twoBelow, size.width() * size.height());
        const double left = std::max(1, clip.frames - from.index - 1);
        const double projected = double(from.spent) + from.recent * left;
        const double low = kAimLow * double(clip.bytes), high = kAimHigh * double(clip.bytes);
        const double off = projected > high  ? projected / high
                           : projected < low ? projected / low
                                             : 1;
        const double change =
            std::clamp(std::pow(off, kFactorResponse), 1 / kFactorStep, kFactorStep);
        factor = std::clamp(static_cast<float>(factor * change), kMinFactor, kMaxFactor);
    }
    std::lock_guard lock(mutex);
    slot.factor = factor;
    slot.factorKnown = true;
    frameWritten.notify_all();
    return factor;
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
    const GraphicsControlBlock control{DISPOSE_DO_NOT, false, centiseconds,
                                       frame.transparent >= 0 ? frame.transparent
                                                              : NO_TRANSPARENT_COLOR};
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

GifWriter::GifWriter(QSize frameSize, GifClip clip)
    : m_pipeline(std::make_unique<Pipeline>(frameSize, clip)) {}

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

    // A clip's frame at full strength after one such is shown over it: a repeated picture then
    // leaves the screen as it is. Otherwise a repeated picture (a held card, a fade, a still)
    // reuses its encoding; so does one that returns after frames of another effort (a card after
    // its spin); but not one that was shown over another.
    const bool over = clip.bytes > 0 && effort == GifEffort::smallest && opacity == 1 &&
                      lastOpacity == 1 && lastSlot && lastSlot->clip;
    const bool again = over && frame == lastFrame;
    std::shared_ptr<Slot> earlier;
    if (over)
        ;
    else if (lastSlot && frame == lastFrame && !lastSlot->overBelow)
        earlier = lastSlot;
    else if (keySlot && keySlot != lastSlot && frame == keyFrame && !keySlot->overBelow)
        earlier = keySlot;
    std::unique_lock lock(mutex);
    frameWritten.wait(lock,
                      [&] { return failure || static_cast<int>(pending.size()) < maxPending; });
    if (failure)
        std::rethrow_exception(failure);
    if (again) { // the picture on screen stays, and the next frame is shown over it
        if (!unchanged) {
            unchanged = std::make_shared<Slot>();
            unchanged->encoded = unchangedFrame(size.width() * size.height());
            unchanged->overBelow = true;
            unchanged->ready = true;
        }
        pending.push_back({unchanged, centiseconds, opacity});
        writeReadyFrames(lock);
    } else if (earlier) {
        pending.push_back({earlier, centiseconds, opacity});
        lastBelow.reset();
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
        if (clip.bytes > 0 && effort == GifEffort::smallest && opacity == 1) {
            slot->clip = true;
            slot->index = added;
            slot->shown.resize(static_cast<size_t>(size.width()) * size.height());
            if (over) {
                slot->overBelow = true;
                slot->below = lastSlot;
                slot->twoBelow = lastBelow;
                slot->previous = lastFrame;
            }
        }
        lastBelow = slot->below;
        jobs.push_back(slot);
        pending.push_back({slot, centiseconds, opacity});
        lastFrame = frame;
        lastSlot = std::move(slot);
        workAvailable.notify_one();
    }
    lastOpacity = opacity;
    ++added;
}

QByteArray GifWriter::finish() {
    Pipeline& p = *m_pipeline;
    if (p.finished)
        throw std::logic_error("GifWriter::finish called twice");
    p.finished = true;
    p.lastFrame = QImage();
    p.lastSlot.reset();
    p.lastBelow.reset();
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
