#include "media/gif_palette.h"

#include "media/media_error.h"

#include <algorithm>
#include <bit>
#include <cmath>
#ifdef __SSE__
#include <xmmintrin.h>
#endif

namespace tovi::gif {
namespace {

[[noreturn]] void fail() {
    throw MediaError(MediaError::encode);
}

} // namespace

void FramePixels::load(const QImage& image, bool colors) {
    width = image.width();
    height = image.height();
    count = width * height;
    rgb.resize(static_cast<size_t>(count));
    color.resize(colors ? static_cast<size_t>(count) : 0);
    const bool rgb32 = image.format() == QImage::Format_RGB32;
    size_t p = 0;
    for (int y = 0; y < height; ++y) {
        const uchar* row = image.constScanLine(y);
        int x = 0;
        // Video frames: eight pixels at a time, in Color::of's own operations.
        using Lanes = float __attribute__((vector_size(8 * sizeof(float))));
        using Words = std::uint32_t __attribute__((vector_size(8 * sizeof(std::uint32_t))));
        for (; rgb32 && x + 8 <= width; x += 8, p += 8) {
            Words value;
            std::memcpy(&value, row + 4 * x, sizeof value);
            value &= 0xffffffu;
            std::memcpy(&rgb[p], &value, sizeof value);
            if (!colors)
                continue;
            const Lanes r = __builtin_convertvector(value >> 16, Lanes);
            const Lanes g = __builtin_convertvector((value >> 8) & 0xff, Lanes);
            const Lanes b = __builtin_convertvector(value & 0xff, Lanes);
            const Lanes l = 0.299f * r + 0.587f * g + 0.114f * b;
            const Lanes cr = r - l, cb = b - l;
            for (int k = 0; k < 8; ++k)
                color[p + k] = {l[k], cr[k], cb[k]};
        }
        for (; x < width; ++x, ++p) {
            std::uint32_t value;
            if (rgb32) {
                value = reinterpret_cast<const QRgb*>(row)[x] & 0xffffffu;
            } else {
                const uchar* px = row + 4 * x;
                value = std::uint32_t(px[0]) << 16 | std::uint32_t(px[1]) << 8 | px[2];
            }
            rgb[p] = value;
            if (colors)
                color[p] = Color::of(value);
        }
    }
}

Palette::Palette()
    : m_attr(liq_attr_create()) {
    if (!m_attr || liq_set_speed(m_attr.get(), kQuantizerSpeed) != LIQ_OK ||
        liq_set_max_colors(m_attr.get(), 256) != LIQ_OK ||
        liq_set_quality(m_attr.get(), 0, 100) != LIQ_OK)
        fail();
}

void Palette::build(const FramePixels& frame, const QImage* previous, int sampling, int speed,
                    float changed) {
    if (liq_set_max_colors(m_attr.get(), previous ? 255 : 256) != LIQ_OK ||
        liq_set_speed(m_attr.get(), speed) != LIQ_OK)
        fail();
    // One pixel in `sampling`, on staggered diagonals so that every row and every column
    // is represented: thin lines and small text keep their colours.
    const int width = frame.width, height = frame.height;
    const int rows = (height + sampling - 1) / sampling;
    m_sample.resize(static_cast<size_t>(rows) * width);
    const QImage before = previous ? previous->convertToFormat(QImage::Format_RGB32) : QImage();
    size_t taken = 0;
    int unchanged = 0;
    for (int j = 0; j < rows; ++j)
        for (int x = 0; x < width; ++x) {
            const int y = std::min(height - 1, j * sampling + x % sampling);
            const std::uint32_t rgb = frame.rgb[static_cast<size_t>(y) * width + x];
            if (!before.isNull()) {
                const QRgb was = reinterpret_cast<const QRgb*>(before.constScanLine(y))[x];
                const bool moved = frame.color[static_cast<size_t>(y) * width + x].distance(
                                       Color::of(was & 0xffffffu), kMatchChromaWeight) > changed;
                if (!moved && unchanged++ % kUnchangedSampling != 0)
                    continue;
            }
            const std::uint8_t rgba[4] = {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8),
                                          std::uint8_t(rgb), 255};
            std::memcpy(&m_sample[taken++], rgba, 4);
        }
    // A sample of one row: libimagequant sees colours, not where they are.
    LiqImagePtr image(liq_image_create_rgba(m_attr.get(), m_sample.data(),
                                            before.isNull() ? width : static_cast<int>(taken),
                                            before.isNull() ? rows : 1, 0));
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
    set(rgb);
}

void Palette::take(const SharedPalette& shared) {
    m_colors = shared.colors;
    std::array<std::uint8_t, 3 * 256> rgb{};
    for (int i = 0; i < m_colors; ++i) {
        rgb[3 * i] = shared.entries[i].Red;
        rgb[3 * i + 1] = shared.entries[i].Green;
        rgb[3 * i + 2] = shared.entries[i].Blue;
    }
    set(rgb);
}

// Returns each given colour's new index.
std::array<std::uint8_t, 256> Palette::set(const std::array<std::uint8_t, 3 * 256>& rgb) {
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
        m_color[i] = colors[from];
        m_luma[i] = colors[from].y;
        rank[from] = static_cast<std::uint8_t>(i);
    }
    for (int k = 0, i = 0; k < int(m_lumaFirst.size()); ++k) {
        while (i < m_colors && m_luma[i] * kLumaSteps < float(k))
            ++i;
        m_lumaFirst[k] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < 256; ++i) {
        const Color& color = i < m_colors ? m_color[i] : Color{1e6f, 0, 0};
        m_blockY[i] = color.y;
        m_blockCr[i] = color.cr;
        m_blockCb[i] = color.cb;
    }
    return rank;
}

// Exact nearest colour, with `guess` as the distance to beat: blocks of colours outwards from the
// guess, until the luma difference alone rules a whole block out.
int Palette::nearestColor(const Color& c, int guess, float chromaWeight) const {
    int best = guess;
    float bestError = c.distance(m_color[guess], chromaWeight);
    auto scan = [&](int block) {
        const int base = block * kBlock;
        // The compiler's own vectoriser leaves this loop scalar.
        using Lanes = float __attribute__((vector_size(kBlock * sizeof(float))));
        Lanes error;
        distances(c, base, chromaWeight, error);
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

void Palette::remap(const FramePixels& frame, std::uint32_t mask, bool shared, float chromaWeight,
                    std::vector<std::uint8_t>& nearest) {
    nearest.resize(static_cast<size_t>(frame.count));
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
    for (int p = 0; p < frame.count; ++p) {
        const std::uint32_t rgb = frame.rgb[p];
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
                    const Color c = Color::of(look);
                    const auto at =
                        std::lower_bound(m_luma.begin(), m_luma.begin() + m_colors, c.y);
                    color = nearestColor(c, std::min(int(at - m_luma.begin()), m_colors - 1),
                                         chromaWeight);
                } else {
                    color = nearestColor(frame.color[p], color, chromaWeight);
                }
                m_cacheKey[slot] = key;
                m_cacheColor[slot] = static_cast<std::uint8_t>(color);
            }
            previous = key;
        }
        nearest[p] = static_cast<std::uint8_t>(color);
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
    for (int p = 0; p < frame.count; ++p)
        holders[nearest[p]] += frame.rgb[p] == majority[nearest[p]];
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
    const auto rank = set(rgb);
    for (auto& index : nearest)
        index = rank[index];
}

std::uint8_t* Palette::reach(const Color& c, float tolerance, std::uint8_t* out) const {
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

} // namespace tovi::gif
