#include "preview_timeline.h"

#include "media/rotation_plan.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tovi::PreviewTimeline {

int intervalMs(int fps) {
    return static_cast<int>(std::lround(1000.0 / std::max(fps, 1)));
}

bool animates(const Settings& settings) {
    return (settings.rotating || settings.revealing) && !settings.reduceMotion;
}

double referenceSeconds(const QDateTime& when) {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return double(reference.msecsTo(when)) / 1000.0;
}

Frame at(double referenceSeconds, const Settings& settings) {
    Frame frame;
    if (settings.reduceMotion)
        return frame;
    const RotationPlan turn =
        RotationPlan::of(settings.rotationSeconds, settings.fps, settings.clockwise);
    double phase = std::fmod(referenceSeconds, turn.seconds);
    if (phase < 0)
        phase += turn.seconds;
    if (settings.rotating)
        frame.angle = turn.degrees(turn.stepAt(phase)) * std::numbers::pi / 180;
    if (settings.revealing)
        frame.opacity = std::max(0.05, std::min(phase / 1.2, 1.0));
    return frame;
}

} // namespace tovi::PreviewTimeline
