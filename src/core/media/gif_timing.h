#pragma once

#include <algorithm>
#include <cmath>
#include <optional>

// How long a frame shows, for every reader of animations: the GIF decoder and the device
// listing (which count in centiseconds, as GIF does), the other decoders, the tutorial, and the
// writer's and sampler's rounding of running times.
namespace tovi::GifTiming {

// A frame whose file gives no delay shows this long.
inline constexpr int missingCentiseconds = 10;
// A shorter declared delay (0 included) is raised to this.
inline constexpr int shortestCentiseconds = 2;
inline constexpr double missingDelay = missingCentiseconds / 100.0;
inline constexpr double shortestDelay = shortestCentiseconds / 100.0;

// The centiseconds a frame shows; nothing when the file declares no delay.
constexpr int frameCentiseconds(std::optional<int> declared) {
    return declared ? std::max(*declared, shortestCentiseconds) : missingCentiseconds;
}

// The seconds a frame shows; nothing, or a value that is not a number, when no delay is
// declared.
inline double frameDelay(std::optional<double> declaredSeconds) {
    if (!declaredSeconds || std::isnan(*declaredSeconds))
        return missingDelay;
    return std::max(*declaredSeconds, shortestDelay);
}

// A running time in whole centiseconds, halves away from zero; the slack keeps sums such as
// 6 × (1/12 s) on the half they stand for.
inline long long centiseconds(double seconds) {
    return static_cast<long long>(std::floor(seconds * 100.0 + 0.5 + 1e-7));
}

} // namespace tovi::GifTiming
