#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <cstdint>

namespace tovi {

enum class ScaleBackground {
    keep,  // keep the alpha channel (premultiplied in, premultiplied out)
    white, // composite over opaque white: the result is Format_RGB32
};

// Resamples the fractional `window` of `source` to an image of `size`: area averaging where it
// shrinks, bilinear where it enlarges, so fine detail turns into even tone instead of moiré.
// This is the one scaler of the system: crops, previews and bounded decodes all go through it.
// Accepts any format (RGB32 and ARGB32_Premultiplied without conversion). Returns a null image
// for an empty source, window or size. Pure; safe on any thread.
QImage resampled(const QImage& source, const QRectF& window, QSize size,
                 ScaleBackground background = ScaleBackground::keep);

// The same resampling for one plane of 8-bit samples (the luma or a chroma plane of a video
// frame): the fractional `window` of the planeSize plane at `data` into `size` samples at `out`.
// `area` asks for area weights even where the plane is enlarged: a subsampled chroma plane
// then comes out as if each sample had been repeated to full size and the picture shrunk.
// Does nothing for an empty plane, window or size.
void resampledPlane(const uint8_t* data, qsizetype stride, QSize planeSize, const QRectF& window,
                    QSize size, uint8_t* out, qsizetype outStride, bool area = false);

// `image` scaled down (never up) so that its longer side is at most `maxPixelSize`.
QImage boundedTo(const QImage& image, int maxPixelSize);

} // namespace tovi
