#include "tutorial_animation.h"

#include "media/gif_timing.h"
#include "media/image_source.h"
#include "media/media_error.h"

#include <algorithm>
#include <cmath>

namespace tovi {

double TutorialAnimation::frameDelay(double declaredSeconds) {
    if (!(declaredSeconds > 0) || !std::isfinite(declaredSeconds))
        return GifTiming::frameDelay(std::nullopt);
    return GifTiming::frameDelay(declaredSeconds);
}

TutorialAnimation TutorialAnimation::load(const QString& path) {
    const std::unique_ptr<ImageSource> source = ImageSource::open(path);
    if (!source)
        throw MediaError(MediaError::unreadable);
    TutorialAnimation animation;
    const int count = source->frameCount();
    for (int i = 0; i < count; ++i) {
        const QImage frame = source->frame(i, 2000);
        // A damaged frame is left out rather than shown as a blank screen.
        if (!frame.isNull())
            animation.append(frame, source->delay(i));
    }
    if (animation.frames.empty())
        throw MediaError(MediaError::unreadable);
    return animation;
}

void TutorialAnimation::append(const QImage& frame, double declaredSeconds) {
    frames.push_back(frame);
    ends.push_back(length() + frameDelay(declaredSeconds));
}

double TutorialAnimation::length() const {
    return ends.empty() ? 0.0 : ends.back();
}

int TutorialAnimation::frameIndex(double seconds) const {
    const double total = length();
    if (ends.empty() || !(total > 0))
        return 0;
    const double u = std::fmod(std::max(seconds, 0.0), total);
    const auto found = std::upper_bound(ends.begin(), ends.end(), u);
    // Past the last end only through rounding at the very end of the loop.
    if (found == ends.end())
        return int(ends.size()) - 1;
    return int(found - ends.begin());
}

} // namespace tovi
