#pragma once

#include <QDateTime>

namespace tovi {

// What the device preview shows at a moment of an animation cycle: the stepped turn of a
// rotation GIF (its RotationPlan) and the fade-in of a card reveal, tied to the wall clock.
namespace PreviewTimeline {

struct Settings {
    bool rotating = false;
    bool revealing = false;
    double rotationSeconds = 4;
    bool clockwise = true;
    int fps = 12;
    bool reduceMotion = false;
};

struct Frame {
    double angle = 0;   // radians, positive clockwise on screen
    double opacity = 1; // 0.05 … 1
};

// The tick interval: 1 / max(fps, 1) seconds.
int intervalMs(int fps);
// Whether anything moves at all (no ticks otherwise).
bool animates(const Settings& settings);
// Seconds since 2001-01-01 00:00 UTC, the reference of the cycle's phase.
double referenceSeconds(const QDateTime& when);
Frame at(double referenceSeconds, const Settings& settings);

} // namespace PreviewTimeline

} // namespace tovi
