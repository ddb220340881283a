#pragma once

#include "media/c_handles.h"

#include <QByteArray>

namespace tovi {

// giflib reading bytes held in memory. The reader is the handle's input: it must outlive the
// handle, and its offset says how far giflib has read.
struct GifMemoryReader {
    const QByteArray* data;
    qsizetype offset = 0;
};

// A giflib reader over the bytes, for the caller to hold in a GifReaderPtr; null when the bytes
// do not start a GIF giflib accepts.
GifFileType* openGifReader(GifMemoryReader& reader);

} // namespace tovi
