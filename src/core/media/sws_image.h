#pragma once

// Pictures handed to libswscale. Its converters work in blocks (16 pixels for YUV → RGB32) and
// write or read whole blocks past a row's last pixel, so every buffer that crosses into it has
// 64-byte aligned rows of whole blocks and spare bytes after the last row.
//
// With TOVI_GUARD_BUFFERS=1 in the environment each such buffer ends, right after those spare
// bytes, at an inaccessible page: a write past what FFmpeg may touch faults at once, where no
// sanitizer sees into the library and valgrind may not run.

#include "media/c_handles.h"

#include <QImage>
#include <QSize>
#include <memory>

namespace tovi {

// An image of `size` whose memory follows the contract above: 64-byte aligned rows padded to
// whole blocks, and spare bytes after the last. It owns its buffer; copies share it as any
// QImage does. Throws std::bad_alloc.
QImage swsImage(QSize size, QImage::Format format);

// Converts `height` rows of the source planes with `context` into a new swsImage of `size`.
// Null when the converter gives fewer rows.
QImage swsConverted(SwsContext* context, const uint8_t* const planes[], const int strides[],
                    int height, QSize size, QImage::Format format);

} // namespace tovi
