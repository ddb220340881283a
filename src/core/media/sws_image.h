#pragma once

// Pictures handed to libswscale. Its converters work in blocks (16 pixels for YUV → RGB32) and
// write or read whole blocks past a row's last pixel, so every buffer that crosses into it has
// 64-byte aligned rows of whole blocks and spare bytes after the last row.

#include "media/c_handles.h"

#include <QImage>
#include <QSize>
#include <memory>

namespace tovi {

// Bytes of a row of `width` pixels of `bytesPerPixel`, padded to whole 64-byte blocks.
qsizetype swsStride(int width, int bytesPerPixel);

// An image of `size` whose memory follows the contract above (stride swsStride(width, 4)).
// It owns its buffer; copies share it as any QImage does. Throws std::bad_alloc.
QImage swsImage(QSize size, QImage::Format format);

// Aligned, padded memory for planes: `bytes` usable plus spare bytes at the end.
struct SwsBufferRelease {
    void operator()(uint8_t* p) const { av_free(p); }
};
using SwsBuffer = std::unique_ptr<uint8_t[], SwsBufferRelease>;
SwsBuffer swsBuffer(qsizetype bytes);

// Converts `height` rows of the source planes with `context` into a new swsImage of `size`.
// Null when the converter gives fewer rows.
QImage swsConverted(SwsContext* context, const uint8_t* const planes[], const int strides[],
                    int height, QSize size, QImage::Format format);

} // namespace tovi
