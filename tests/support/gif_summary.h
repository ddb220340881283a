#pragma once

// What a decoder sees in a GIF file, read back with giflib: the test's view of what a device gets.

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <vector>

namespace tovi::test {

struct GifSummary {
    QByteArray version;
    QSize screen;
    int globalPaletteSize = 0; // 0 when there is none
    int loopBlocks = 0;
    int loopCount = -1;
    struct Frame {
        QRect rect;
        int paletteSize = 0; // of the local palette; 0 when there is none
        bool interlaced = false;
        int delay = -1; // centiseconds; -1 without a graphic control extension
        int disposal = -1;
        int transparent = -2;
        std::vector<unsigned char> indices; // the palette index of each pixel, row by row
    };
    std::vector<Frame> frames;

    std::vector<int> delays() const;
    int totalDelay() const;
};

// Throws std::runtime_error when giflib cannot read the bytes.
GifSummary summarize(const QByteArray& bytes);

} // namespace tovi::test
