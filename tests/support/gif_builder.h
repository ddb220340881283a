#pragma once

// Writes GIFs byte by byte with giflib, so tests can state exactly what a file holds:
// sub-rectangles, disposal modes, transparency, interlacing, local palettes, missing controls.

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <vector>

namespace tovi::test {

struct GifFrameSpec {
    QRect rect;
    std::vector<unsigned char> pixels; // rect.width() × rect.height() palette indices
    std::vector<QRgb> localPalette;    // empty: use the global one
    bool control = true;               // write a graphic control extension
    int delayCentiseconds = 10;
    int disposal = 0; // 0 unspecified, 1 keep, 2 background, 3 previous
    int transparent = -1;
    bool interlaced = false;
};

// A frame of one colour index over the whole rect.
GifFrameSpec solidFrame(QRect rect, unsigned char index, int delayCentiseconds = 10);

QByteArray buildGif(QSize screen, const std::vector<QRgb>& globalPalette,
                    const std::vector<GifFrameSpec>& frames);

// Fine detail everywhere, the same for the same seed: the worst case for a palette and a coder.
QImage noise(QSize size, quint32 seed);
// A 240 × 240 GIF of `count` such pictures, `perSecond` a second, in 256 colours: no export of
// it keeps much of its detail, and a few seconds of it are too large at 12 fps.
QByteArray noiseGif(int count, int perSecond);

} // namespace tovi::test
