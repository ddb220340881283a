#include "preview_timeline.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tovi::PreviewTimeline {

double cycleSeconds(double rotationSeconds) {
    if (!(rotationSeconds >= 1))
        return 1;
    return std::min(rotationSeconds, 8.0);
}

int frames(int fps, double seconds) {
    return std::max(2, static_cast<int>(std::round(double(fps) * seconds)));
}

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
    const double seconds = cycleSeconds(settings.rotationSeconds);
    const int steps = frames(settings.fps, seconds);
    double phase = std::fmod(referenceSeconds, seconds);
    if (phase < 0)
        phase += seconds;
    if (settings.rotating) {
        const int step = std::min(steps - 1, static_cast<int>(std::floor(steps * phase / seconds)));
        frame.angle = 2 * std::numbers::pi * step / steps * (settings.clockwise ? 1 : -1);
    }
    if (settings.revealing)
        frame.opacity = std::max(0.05, std::min(phase / 1.2, 1.0));
    return frame;
}

} // namespace tovi::PreviewTimeline
