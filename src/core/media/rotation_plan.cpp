#include "media/rotation_plan.h"

#include "app/product.h"

#include <algorithm>
#include <cmath>

namespace tovi {

RotationPlan RotationPlan::of(const ExportOptions& options) {
    return of(options.rotationSeconds, options.fps, options.clockwise);
}

RotationPlan RotationPlan::of(double rotationSeconds, int fps, bool clockwise) {
    RotationPlan plan;
    plan.rate = std::clamp(fps, 1, Product::maxFps);
    plan.seconds = rotationSeconds >= 1 ? std::min(rotationSeconds, Product::maxSeconds) : 1.0;
    // std::round halves away from zero, as the steps and delays of a turn are defined.
    plan.count = std::max(2, static_cast<int>(std::round(plan.rate * plan.seconds)));
    plan.clockwise = clockwise;
    return plan;
}

double RotationPlan::degrees(int index) const {
    return (clockwise ? 360.0 : -360.0) * index / count;
}

double RotationPlan::delay(int index) const {
    return (std::round(100.0 * (index + 1) * seconds / count) -
            std::round(100.0 * index * seconds / count)) /
           100.0;
}

int RotationPlan::stepAt(double phase) const {
    return std::clamp(static_cast<int>(std::floor(count * phase / seconds)), 0, count - 1);
}

} // namespace tovi
