#include "media/gif_tolerance.h"

#include <algorithm>

namespace tovi::gif {

const std::vector<float>& ToleranceMap::compute(const FramePixels& frame, float uniform) {
    m_tolerance.resize(static_cast<size_t>(frame.count));
    if (uniform > 0) {
        computeUniform(frame, uniform);
        return m_tolerance;
    }
    const int w = frame.width, h = frame.height, r = kVarianceRadius;
    m_columnSum.assign(static_cast<size_t>(w), 0);
    m_columnSquares.assign(static_cast<size_t>(w), 0);
    const auto addRow = [&](int y, int sign) {
        for (int x = 0; x < w; ++x) {
            const std::int64_t v = lumaThousandths(frame.rgb[static_cast<size_t>(y) * w + x]);
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
    return m_tolerance;
}

// `uniform` for every pixel but those whose box (as computeTolerance's) has one luma all over,
// found from equal neighbours: each row of the box must be of one luma, and each pixel of its
// column in the box must have the luma of the one below. Rows come and go through a ring.
void ToleranceMap::computeUniform(const FramePixels& frame, float uniform) {
    const int w = frame.width, h = frame.height, r = kVarianceRadius, span = 2 * r + 1;
    const size_t width = static_cast<size_t>(w);
    m_ringLuma.resize(span * width);
    m_ringLevel.resize(span * width); // the row segment around the pixel is of one luma
    m_ringDown.resize(span * width);  // the pixel below has the same luma
    m_rowEqual.resize(width);
    const auto ring = [&](auto& v, int y) { return &v[static_cast<size_t>(y % span) * width]; };
    const auto load = [&](int y) {
        const std::uint32_t* source = &frame.rgb[static_cast<size_t>(y) * width];
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

} // namespace tovi::gif
