#pragma once

// How a rotation GIF turns its picture: one turn of `seconds` in `count` equal steps, each shown
// for the whole centiseconds of its running time. The export draws these steps and the device
// preview shows them; nothing else decides them.

#include "media/media_types.h"

namespace tovi {

struct RotationPlan {
    int rate = 12;      // steps per second: the options' fps clamped to 1 … 12
    double seconds = 1; // one turn: the rotation time when at least 1 s, at most 8 s; else 1 s
    int count = 12;     // rate × seconds rounded half away from zero, at least 2
    bool clockwise = true;

    static RotationPlan of(const ExportOptions& options);
    static RotationPlan of(double rotationSeconds, int fps, bool clockwise);

    // Step `index`'s turn in degrees, positive clockwise on screen.
    double degrees(int index) const;
    // Step `index`'s delay in seconds: whole centiseconds from rounded running times, so that
    // the turn lasts `seconds` on the device.
    double delay(int index) const;
    // The step shown `phase` seconds into a turn (0 ≤ phase < seconds).
    int stepAt(double phase) const;
};

} // namespace tovi
