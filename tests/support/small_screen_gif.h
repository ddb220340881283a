#pragma once

// A GIF read the way a minimal screen's firmware reads it: one RGB canvas the size of the
// logical screen, a global colour table or nothing, GIF89a only. Anything such a reader leaves
// out (no global table, an image outside the screen, interlacing, "restore to previous", codes
// past 12 bits, a broken code stream) is refused with a reason instead of guessed at, so a test
// fails where a small decoder would show nothing.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

namespace tovi::test {

struct SmallScreenGif {
    QString refusal;            // empty when the file was read
    std::vector<QImage> frames; // the canvas after each image, RGB32
    std::vector<int> delays;    // centiseconds, as stored
};

SmallScreenGif readAsSmallScreen(const QByteArray& bytes);

} // namespace tovi::test
