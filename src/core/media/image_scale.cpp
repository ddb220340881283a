#include "image_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tovi {
namespace {

constexpr int weightBits = 14;
constexpr int weightOne = 1 << weightBits;

// The source pixels that make one output pixel along one axis, and their fixed-point weights.
struct Taps {
    std::vector<int> first;       // first source index per output pixel
    std::vector<int> count;       // number of taps per output pixel
    std::vector<int16_t> weights; // maxTaps entries per output pixel
    int maxTaps = 0;
};

// Area weights where the output shrinks, a tent where it grows. Each output pixel's taps are
// padded with zero weights to a multiple of two: the SIMD passes read them in pairs.
Taps computeTaps(double start, double length, int sourceLength, int outLength) {
    constexpr int group = 2;
    Taps taps;
    const double scale = length / outLength; // source pixels per output pixel
    const bool area = scale > 1;
    taps.maxTaps = area ? static_cast<int>(std::ceil(scale)) + 2 : 2;
    taps.maxTaps = (taps.maxTaps + group - 1) / group * group;
    taps.first.resize(outLength);
    taps.count.resize(outLength);
    taps.weights.assign(static_cast<size_t>(outLength) * taps.maxTaps, 0);
    std::vector<double> raw(taps.maxTaps);

    for (int i = 0; i < outLength; ++i) {
        int first = 0;
        int n = 0;
        if (area) {
            // Box: each source pixel weighs by how much of it the output pixel covers.
            const double a = start + i * scale;
            const double b = a + scale;
            first = std::clamp(static_cast<int>(std::floor(a)), 0, sourceLength - 1);
            const int last =
                std::clamp(static_cast<int>(std::ceil(b)) - 1, first, sourceLength - 1);
            n = std::min(last - first + 1, taps.maxTaps);
            for (int k = 0; k < n; ++k) {
                const double lo = std::max(a, double(first + k));
                const double hi = std::min(b, double(first + k + 1));
                raw[k] = std::max(0.0, hi - lo);
            }
        } else {
            // Tent between the two nearest source pixel centres.
            const double centre = start + (i + 0.5) * scale - 0.5;
            const double base = std::floor(centre);
            const double f = centre - base;
            first = std::clamp(static_cast<int>(base), 0, sourceLength - 1);
            const int second = std::clamp(static_cast<int>(base) + 1, 0, sourceLength - 1);
            if (second == first) {
                n = 1;
                raw[0] = 1;
            } else {
                n = 2;
                raw[0] = 1 - f;
                raw[1] = f;
            }
        }
        double total = 0;
        for (int k = 0; k < n; ++k)
            total += raw[k];
        if (total <= 0) { // a window outside the picture: take the nearest edge pixel
            n = 1;
            raw[0] = total = 1;
        }
        int16_t* w = &taps.weights[static_cast<size_t>(i) * taps.maxTaps];
        int sum = 0;
        int largest = 0;
        for (int k = 0; k < n; ++k) {
            w[k] = static_cast<int16_t>(std::lround(raw[k] / total * weightOne));
            sum += w[k];
            if (w[k] > w[largest])
                largest = k;
        }
        w[largest] = static_cast<int16_t>(w[largest] + (weightOne - sum)); // exact unity gain
        taps.first[i] = first;
        taps.count[i] = n;
    }
    return taps;
}

// Sums `count` weighted source rows (`n` bytes each from `offset`) into one row of 7-bit
// fixed-point channels.
void verticalPass(const uint8_t* bits, qsizetype stride, int firstRow, int count,
                  const int16_t* weights, int offset, int n, int32_t* acc, int16_t* column) {
    const auto row = [&](int y) { return bits + y * stride + offset; };
    if (count <= 0)
        std::fill_n(acc, n, 0);
    // The first rows set the sums rather than add to cleared ones: one pass less over them.
    int k = 0;
#ifdef __SSE2__
    // Two rows at a time: interleave their bytes as 16-bit lanes and multiply-add the pair.
    for (; k + 1 < count; k += 2) {
        const uint8_t* a = row(firstRow + k);
        const uint8_t* b = row(firstRow + k + 1);
        const __m128i w = _mm_set1_epi32((int32_t(weights[k + 1]) << 16) | uint16_t(weights[k]));
        const __m128i zero = _mm_setzero_si128();
        int p = 0;
        for (; p + 8 <= n; p += 8) {
            const __m128i va =
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + p)), zero);
            const __m128i vb =
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + p)), zero);
            __m128i low = _mm_madd_epi16(_mm_unpacklo_epi16(va, vb), w);
            __m128i high = _mm_madd_epi16(_mm_unpackhi_epi16(va, vb), w);
            __m128i* target = reinterpret_cast<__m128i*>(acc + p);
            if (k > 0) {
                low = _mm_add_epi32(_mm_loadu_si128(target), low);
                high = _mm_add_epi32(_mm_loadu_si128(target + 1), high);
            }
            _mm_storeu_si128(target, low);
            _mm_storeu_si128(target + 1, high);
        }
        for (; p < n; ++p)
            acc[p] = (k > 0 ? acc[p] : 0) + weights[k] * a[p] + weights[k + 1] * b[p];
    }
#endif
    for (; k < count; ++k) {
        const uint8_t* line = row(firstRow + k);
        for (int p = 0; p < n; ++p)
            acc[p] = (k > 0 ? acc[p] : 0) + weights[k] * line[p];
    }
    constexpr int shift = weightBits - 7;
    for (int p = 0; p < n; ++p)
        column[p] = static_cast<int16_t>((acc[p] + (1 << (shift - 1))) >> shift);
}

// The source columns the taps touch: the first and one past the last.
std::pair<int, int> columnSpan(const Taps& columns) {
    int last = 0;
    for (size_t i = 0; i < columns.first.size(); ++i)
        last = std::max(last, columns.first[i] + columns.count[i]);
    return {columns.first.front(), last};
}

// Resamples one row of 7-bit fixed-point channels into 8-bit pixels.
void horizontalPass(const int16_t* column, const Taps& taps, int colFirst, int outW,
                    uint8_t* target) {
    constexpr int shift = weightBits + 7;
    for (int i = 0; i < outW; ++i) {
        const int16_t* w = &taps.weights[static_cast<size_t>(i) * taps.maxTaps];
        const int16_t* px = column + static_cast<size_t>(taps.first[i] - colFirst) * 4;
        const int count = taps.count[i];
#ifdef __SSE2__
        __m128i acc = _mm_set1_epi32(1 << (shift - 1));
        for (int k = 0; k < count; k += 2, px += 8) {
            // Pixels k and k+1 as [c0 c0' c1 c1' c2 c2' c3 c3'] against [w w' w w' …]; a
            // missing second tap has weight 0 (the tables are zero-padded to whole pairs).
            const __m128i pair = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
            const __m128i mixed = _mm_unpacklo_epi16(pair, _mm_srli_si128(pair, 8));
            const __m128i weight = _mm_set1_epi32((int32_t(w[k + 1]) << 16) | uint16_t(w[k]));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(mixed, weight));
        }
        acc = _mm_srai_epi32(acc, shift);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(acc, acc), acc);
        const int32_t packed = _mm_cvtsi128_si32(bytes);
        std::memcpy(target + i * 4, &packed, 4);
#else
        int32_t c[4] = {1 << (shift - 1), 1 << (shift - 1), 1 << (shift - 1), 1 << (shift - 1)};
        for (int k = 0; k < count; ++k, px += 4)
            for (int ch = 0; ch < 4; ++ch)
                c[ch] += w[k] * px[ch];
        for (int ch = 0; ch < 4; ++ch)
            target[i * 4 + ch] = static_cast<uint8_t>(std::clamp(c[ch] >> shift, 0, 255));
#endif
    }
}

} // namespace

QImage resampled(const QImage& source, const QRectF& window, QSize size,
                 ScaleBackground background) {
    if (source.isNull() || size.isEmpty() || !(window.width() > 0) || !(window.height() > 0))
        return {};
    QImage input = source;
    const bool opaqueInput = !source.hasAlphaChannel();
    const QImage::Format work =
        opaqueInput ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    if (input.format() != work)
        input = input.convertToFormat(work);

    const int outW = size.width();
    const int outH = size.height();
    const Taps columns = computeTaps(window.x(), window.width(), input.width(), outW);
    const Taps rows = computeTaps(window.y(), window.height(), input.height(), outH);

    // Only the source columns the window touches take part in the vertical pass.
    const auto [colFirst, colLast] = columnSpan(columns);
    const int span = colLast - colFirst;

    const bool white = background == ScaleBackground::white || opaqueInput;
    QImage out(outW, outH, white ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return {};

    // One row of the window after the vertical pass: premultiplied channels in 7-bit fixed
    // point (at most 255 << 7, so signed 16-bit multiply-adds cannot overflow), padded so the
    // horizontal pass may read a tap pair past the last pixel.
    std::vector<int16_t> column(static_cast<size_t>(span + 4) * 4, 0);
    std::vector<int32_t> accumulator(static_cast<size_t>(span) * 4);

    for (int j = 0; j < outH; ++j) {
        const int16_t* rw = &rows.weights[static_cast<size_t>(j) * rows.maxTaps];
        verticalPass(input.constBits(), input.bytesPerLine(), rows.first[j], rows.count[j], rw,
                     colFirst * 4, span * 4, accumulator.data(), column.data());
        horizontalPass(column.data(), columns, colFirst, outW,
                       reinterpret_cast<uint8_t*>(out.scanLine(j)));
        if (opaqueInput || white) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
            for (int i = 0; i < outW; ++i) {
                const uint32_t pixel = line[i];
                if (opaqueInput) {
                    line[i] = pixel | 0xff000000u; // whatever the padding byte held
                } else {
                    const uint32_t uncovered = 255 - (pixel >> 24);
                    const auto lift = [&](int shift) {
                        return std::min<uint32_t>(((pixel >> shift) & 0xff) + uncovered, 255)
                               << shift;
                    };
                    line[i] = 0xff000000u | lift(16) | lift(8) | lift(0);
                }
            }
        }
    }
    return out;
}

QImage boundedTo(const QImage& image, int maxPixelSize) {
    const int longer = std::max(image.width(), image.height());
    if (image.isNull() || longer <= maxPixelSize)
        return image;
    const double factor = double(maxPixelSize) / longer;
    const QSize size(std::max(1, static_cast<int>(std::lround(image.width() * factor))),
                     std::max(1, static_cast<int>(std::lround(image.height() * factor))));
    return resampled(image, QRectF(0, 0, image.width(), image.height()), size);
}

} // namespace tovi
