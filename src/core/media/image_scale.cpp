#include "image_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

Taps computeTaps(double start, double length, int sourceLength, int outLength) {
    Taps taps;
    const double scale = length / outLength; // source pixels per output pixel
    taps.maxTaps = scale > 1 ? static_cast<int>(std::ceil(scale)) + 2 : 2;
    taps.first.resize(outLength);
    taps.count.resize(outLength);
    taps.weights.assign(static_cast<size_t>(outLength) * taps.maxTaps, 0);
    std::vector<double> raw(taps.maxTaps);

    for (int i = 0; i < outLength; ++i) {
        int first = 0;
        int n = 0;
        if (scale > 1) {
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
    const int colFirst = columns.first.front();
    const int colLast = columns.first.back() + columns.count.back();
    const int span = colLast - colFirst;

    const bool white = background == ScaleBackground::white || opaqueInput;
    QImage out(outW, outH, white ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return {};

    std::vector<uint32_t> accumulator(static_cast<size_t>(span) * 4);
    std::vector<uint16_t> column(static_cast<size_t>(span) * 4);

    for (int j = 0; j < outH; ++j) {
        // Vertical pass into one row of 8.8 fixed-point channels.
        std::fill(accumulator.begin(), accumulator.end(), 0u);
        const int16_t* rw = &rows.weights[static_cast<size_t>(j) * rows.maxTaps];
        for (int k = 0; k < rows.count[j]; ++k) {
            const uint8_t* line = input.constScanLine(rows.first[j] + k) + colFirst * 4;
            const uint32_t w = static_cast<uint32_t>(rw[k]);
            uint32_t* acc = accumulator.data();
            for (int p = 0; p < span * 4; ++p)
                acc[p] += w * line[p];
        }
        for (int p = 0; p < span * 4; ++p)
            column[p] = static_cast<uint16_t>((accumulator[p] + (1u << 5)) >> 6);

        // Horizontal pass straight into the output row.
        uint8_t* target = out.scanLine(j);
        for (int i = 0; i < outW; ++i) {
            const int16_t* cw = &columns.weights[static_cast<size_t>(i) * columns.maxTaps];
            const uint16_t* px = &column[static_cast<size_t>(columns.first[i] - colFirst) * 4];
            uint32_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
            for (int k = 0; k < columns.count[i]; ++k, px += 4) {
                const uint32_t w = static_cast<uint32_t>(cw[k]);
                c0 += w * px[0];
                c1 += w * px[1];
                c2 += w * px[2];
                c3 += w * px[3];
            }
            constexpr int shift = weightBits + 8;
            constexpr uint32_t half = 1u << (shift - 1);
            uint32_t v[4] = {std::min<uint32_t>((c0 + half) >> shift, 255),
                             std::min<uint32_t>((c1 + half) >> shift, 255),
                             std::min<uint32_t>((c2 + half) >> shift, 255),
                             std::min<uint32_t>((c3 + half) >> shift, 255)};
            // Byte 3 is alpha in both 32-bit formats (little-endian ARGB words).
            if (opaqueInput) {
                v[3] = 255; // whatever the padding byte held
            } else if (white) {
                const uint32_t uncovered = 255 - v[3];
                v[0] = std::min<uint32_t>(v[0] + uncovered, 255);
                v[1] = std::min<uint32_t>(v[1] + uncovered, 255);
                v[2] = std::min<uint32_t>(v[2] + uncovered, 255);
                v[3] = 255;
            }
            target[i * 4 + 0] = static_cast<uint8_t>(v[0]);
            target[i * 4 + 1] = static_cast<uint8_t>(v[1]);
            target[i * 4 + 2] = static_cast<uint8_t>(v[2]);
            target[i * 4 + 3] = static_cast<uint8_t>(v[3]);
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
