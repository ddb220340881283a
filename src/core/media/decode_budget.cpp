#include "decode_budget.h"

#include "app/tovi_error.h"
#include "media/media_error.h"

namespace tovi {

bool DecodeBudget::fits(qint64 width, qint64 height) {
    // Each side is checked on its own first, so the product cannot overflow.
    return width > 0 && height > 0 && width <= maxPixels && height <= maxPixels &&
           width * height <= maxPixels;
}

void DecodeBudget::require(qint64 width, qint64 height) {
    if (!fits(width, height))
        throw MediaError(MediaError::oversized);
}

void DecodeBudget::requireFrames(qint64 frames) {
    if (frames > maxFrames)
        throw MediaError(MediaError::oversized);
}

void DecodeClock::check(const StopRequest& stop) const {
    if (stop && stop())
        throw Cancelled();
    if (m_started.hasExpired(qint64(DecodeBudget::maxSeconds) * 1000))
        throw MediaError(MediaError::oversized);
}

} // namespace tovi
