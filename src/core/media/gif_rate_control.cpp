#include "media/gif_rate_control.h"

#include <algorithm>
#include <cmath>

namespace tovi::gif {

float nextFactor(float previous, qint64 spent, double recent, int framesLeft, qint64 room) {
    const double projected = double(spent) + recent * std::max(1, framesLeft);
    const double low = kAimLow * double(room), high = kAimHigh * double(room);
    const double off = projected > high ? projected / high : projected < low ? projected / low : 1;
    const double finest = off < 0.5 ? 1 / kFastFactorStep : 1 / kFactorStep;
    const double change = std::clamp(std::pow(off, kFactorResponse), finest, kFactorStep);
    return std::clamp(static_cast<float>(previous * change), kMinFactor, kMaxFactor);
}

} // namespace tovi::gif
