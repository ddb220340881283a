#pragma once

// The rate control of a clip: the factor that scales a frame's tolerance, so that the clip's
// bytes spread evenly over its room. A factor above 1 codes more coarsely (fewer bytes), below 1
// more finely. Pure functions: the writer feeds them what frames already coded have spent, so
// the factors depend only on the frames, never on how they were scheduled.

#include <QtGlobal>

namespace tovi::gif {

// The projected size is aimed between these shares of the room, and the factor moves by at most
// kFactorStep from one frame to the next (finer by up to kFastFactorStep while the projection is
// under half the aim's low end: a flat drawing leaves most of its room), within
// kMinFactor…kMaxFactor. A frame's bytes change with about the fifth root of the tolerance, hence
// the steep response. At kRoomyFactor and below a clip's frames also take the palette and the
// nearest colours more exactly (gif_palette.h).
inline constexpr double kAimLow = 0.85;
inline constexpr double kAimHigh = 0.985;
inline constexpr double kFactorStep = 1.15;
inline constexpr double kFastFactorStep = 10;
inline constexpr double kFactorResponse = 4;
inline constexpr float kMinFactor = 0.01f;
inline constexpr float kMaxFactor = 10.0f;
inline constexpr float kRoomyFactor = 0.1f;

// The next frame's factor: `previous` moved when the clip's projected size, `spent` bytes so far
// plus `recent` bytes per frame for each of `framesLeft`, leaves its aim within `room`.
float nextFactor(float previous, qint64 spent, double recent, int framesLeft, qint64 room);

// The recent bytes per frame, a running mean that follows the clip's last frames.
inline double recentBytes(double before, qint64 frameBytes) {
    return 0.75 * before + 0.25 * double(frameBytes);
}

} // namespace tovi::gif
