#pragma once

// The colours of one GIF frame: the frame's pixels as the encoder reads them, a palette of at
// most 256 colours from libimagequant (or taken from another frame), every pixel's exact
// nearest colour, and the colours within a distance of a given one. The palette is kept in
// ascending luma, so the colours near a pixel form one index range and a search can stop early.
// Colour distance everywhere is the squared luma difference plus a weight times the squared
// differences of the two colour differences.

#include "media/c_handles.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tovi::gif {

// Fixed, chosen by measuring size, SSIM, PSNR and time on the benchmark clips (bench/README.md).
// A clip's frames take the slower speed: from 8 up libimagequant leaves out its refinement,
// which a drawing's antialiased edges need (a cartoon's first frame: 51 dB at 8, 60 at 7).
inline constexpr int kQuantizerSpeed = 8;
inline constexpr int kClipQuantizerSpeed = 7;
// libimagequant builds the palette from one pixel in this many (in a clip's later frames, of
// those that changed); the full remap then refines it. A clip's first frame is sampled whole:
// what stays still keeps its colours through all the frames shown over it.
inline constexpr int kPaletteSampling = 16;
inline constexpr int kFirstFrameSampling = 1;
inline constexpr int kClipPaletteSampling = 8;
// A clip with room to spare (its rate control's factor two frames before at most kRoomyFactor)
// takes every changed pixel into the palette and finds each colour's nearest exactly, with
// chroma weighed as much as luma: flat drawings and screens keep their edges to the level.
inline constexpr int kRoomyPaletteSampling = 1;
inline constexpr std::uint32_t kRoomyCacheMask = 0xffffff;
inline constexpr float kRoomyChromaWeight = 1.0f;
// The weight of chroma when finding the nearest colour (a clip's frames count it more: the eye
// forgives it less in moving pictures than the measure of a single one suggests) and when
// weighing the other colours a pixel may take.
inline constexpr float kRemapChromaWeight = 0.25f;
inline constexpr float kClipRemapChromaWeight = 0.5f;
inline constexpr float kMatchChromaWeight = 0.25f;
// A clip's frame builds its palette from the pixels that changed (squared distance to the
// frame before above this) and from one in this many of those that did not: those mostly
// stay transparent. A roomy frame (below) compares with the picture on screen instead, and
// counts a pixel as changed from a smaller distance.
inline constexpr float kChangedDistance = 16.0f;
inline constexpr float kRoomyChangedDistance = 4.0f;
inline constexpr int kUnchangedSampling = 16;
// Pixels whose colours agree in these bits share one nearest-colour search; a quick frame, shown
// for a moment, and a clip's frame, one of many, share more widely.
inline constexpr std::uint32_t kCacheMask = 0xfefefe;
inline constexpr std::uint32_t kQuickCacheMask = 0xfcfcfc;
inline constexpr int kCacheBits = 16;

inline float luma(float r, float g, float b) {
    return 0.299f * r + 0.587f * g + 0.114f * b;
}

// luma()'s weights in whole numbers (thousandths of a level) of a 0xRRGGBB colour: exact sums.
inline std::int32_t lumaThousandths(std::uint32_t rgb) {
    return std::int32_t(299 * (rgb >> 16) + 587 * ((rgb >> 8) & 0xff) + 114 * (rgb & 0xff));
}

// A colour as luma and two colour differences.
struct Color {
    float y = 0, cr = 0, cb = 0;

    static Color of(float r, float g, float b) {
        const float y = luma(r, g, b);
        return {y, r - y, b - y};
    }
    static Color of(std::uint32_t rgb) {
        return of(float(rgb >> 16), float((rgb >> 8) & 0xff), float(rgb & 0xff));
    }
    float distance(const Color& o, float chromaWeight) const {
        const float dy = y - o.y, dr = cr - o.cr, db = cb - o.cb;
        return dy * dy + chromaWeight * (dr * dr + db * db);
    }
};

// A frame's pixels: 0xRRGGBB in raster order, and (unless only the nearest colours are needed
// fast) each as a Color.
struct FramePixels {
    int width = 0;
    int height = 0;
    int count = 0;
    std::vector<std::uint32_t> rgb;
    std::vector<Color> color;

    // `image` is RGB32 or RGBX8888.
    void load(const QImage& image, bool colors);
};

// A frame's final palette, published to the frames that take it before its coding ends.
struct SharedPalette {
    std::vector<GifColorType> entries;
    int colors = 0;
    bool ready = false;
};

// One per encoder thread: keeps libimagequant's settings and the nearest-colour cache.
class Palette {
public:
    Palette(); // throws MediaError::encode
    // libimagequant's palette for `frame`; with `previous`, the frame is shown over that one
    // and one entry stays free for the transparent index.
    // One pixel in `sampling` goes to libimagequant, at `speed`; a pixel counts as changed from
    // `previous` beyond `changed`.
    void build(const FramePixels& frame, const QImage* previous, int sampling = kPaletteSampling,
               int speed = kQuantizerSpeed, float changed = kChangedDistance);
    void take(const SharedPalette& shared);
    // Every pixel's nearest colour into `nearest`, then one k-means step: each colour moves to
    // the mean of the pixels it got, or to the exact colour most of them share, when there is
    // one. `shared`: the palette came from another frame, and the cache outlives this frame.
    void remap(const FramePixels& frame, std::uint32_t mask, bool shared, float chromaWeight,
               std::vector<std::uint8_t>& nearest);
    // The colours within `tolerance` of c (match weight), in luma order, from `out` on; returns
    // the end. `out` must hold 256 + 4 entries.
    std::uint8_t* reach(const Color& c, float tolerance, std::uint8_t* out) const;

    int size() const { return m_colors; }
    const Color& color(int i) const { return m_color[i]; }
    std::uint32_t rgb(int i) const {
        return std::uint32_t(m_rgb[3 * i]) << 16 | std::uint32_t(m_rgb[3 * i + 1]) << 8 |
               m_rgb[3 * i + 2];
    }

private:
    std::array<std::uint8_t, 256> set(const std::array<std::uint8_t, 3 * 256>& rgb);
    int nearestColor(const Color& c, int guess, float chromaWeight) const;
    // The distances from c of the colours from `base` on, as many as Lanes holds.
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

    LiqAttrPtr m_attr;
    int m_colors = 0;
    std::array<std::uint8_t, 3 * 256> m_rgb{};
    std::array<Color, 256> m_color{};
    std::array<float, 256> m_luma{};
    // The first index whose luma is at least k / kLumaSteps, for k up to 256 levels: the colours
    // within a luma distance without searching for them.
    static constexpr int kLumaSteps = 4;
    std::array<std::uint16_t, 256 * kLumaSteps + 1> m_lumaFirst{};
    // The colours as vectors of eight; the padding after the palette is too far to ever win.
    static constexpr int kBlock = 8;
    alignas(32) std::array<float, 256> m_blockY{}, m_blockCr{}, m_blockCb{};
    std::vector<std::uint32_t> m_sample; // RGBX pixels for libimagequant
    std::array<std::uint32_t, 1 << kCacheBits> m_cacheKey{};
    std::array<std::uint8_t, 1 << kCacheBits> m_cacheColor{};
    // What the cache answered for: a shared palette's starting colours and the key's mask.
    std::uint32_t m_cachedMask = 0;
    int m_cachedColors = 0;
    std::array<std::uint8_t, 3 * 256> m_cachedRgb{};
};

} // namespace tovi::gif
