#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

namespace tovi {

enum class ScaleBackground {
    keep,  // keep the alpha channel (premultiplied in, premultiplied out)
    white, // composite over opaque white: the result is Format_RGB32
};

// Resamples the fractional `window` of `source` to an image of `size`: area averaging where it
// shrinks, bilinear where it enlarges, so fine detail turns into even tone instead of moiré.
// This is the scaler of every picture the system handles as an image: crops, previews and
// bounded decodes. A large video frame is cropped by libswscale from its planes instead
// (video::FrameConverter::cropped).
// Accepts any format (RGB32 and ARGB32_Premultiplied without conversion). Returns a null image
// for an empty source, window or size. Pure; safe on any thread.
QImage resampled(const QImage& source, const QRectF& window, QSize size,
                 ScaleBackground background = ScaleBackground::keep);

// `image` scaled down (never up) so that its longer side is at most `maxPixelSize`.
QImage boundedTo(const QImage& image, int maxPixelSize);

} // namespace tovi
