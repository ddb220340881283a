#pragma once

// How far each pixel of a frame may stray from its nearest palette colour when that lengthens an
// LZW string: squared colour distance, 0 for an exact pixel. Busy areas hide more error than
// flat ones, and a perfectly flat area (a drawn background, the black around a turned picture)
// has no noise to absorb and costs little anyway: it stays exact.

#include "media/gif_palette.h"

#include <cstdint>
#include <vector>

namespace tovi::gif {

// A single picture's pixel may stray within scale × (luma variance around it + floor), at most
// the cap; the floor lets flat-ish areas absorb noise without visible steps.
inline constexpr float kToleranceScale = 0.5f;
inline constexpr float kToleranceFloor = 30.0f;
inline constexpr float kToleranceCap = 144.0f;
inline constexpr int kVarianceRadius = 2;

// One per encoder thread: keeps its scratch buffers between frames.
class ToleranceMap {
public:
    // Every pixel's tolerance in raster order, valid until the next call. A `uniform` tolerance
    // (above 0) is every pixel's outside flat areas; otherwise it follows the luma variance in a
    // (2 × radius + 1)² box around the pixel.
    const std::vector<float>& compute(const FramePixels& frame, float uniform);

private:
    void computeUniform(const FramePixels& frame, float uniform);

    std::vector<float> m_tolerance;
    std::vector<std::int64_t> m_columnSum, m_columnSquares;
    std::vector<std::int32_t> m_ringLuma;
    std::vector<std::uint8_t> m_ringLevel, m_ringDown, m_rowEqual;
};

} // namespace tovi::gif
