#include "sws_image.h"

#include <new>

extern "C" {
#include <libavutil/mem.h>
}

namespace tovi {
namespace {
constexpr qsizetype block = 64;
// Past the last row: a whole block of the widest pixels, and FFmpeg's own input padding.
constexpr qsizetype spare = 4 * block + AV_INPUT_BUFFER_PADDING_SIZE;
} // namespace

qsizetype swsStride(int width, int bytesPerPixel) {
    const qsizetype bytes = qsizetype(std::max(width, 1)) * bytesPerPixel;
    return (bytes + block - 1) / block * block;
}

SwsBuffer swsBuffer(qsizetype bytes) {
    auto* memory = static_cast<uint8_t*>(av_mallocz(size_t(bytes + spare)));
    if (!memory)
        throw std::bad_alloc();
    return SwsBuffer(memory);
}

QImage swsImage(QSize size, QImage::Format format) {
    const qsizetype stride = swsStride(size.width(), 4);
    SwsBuffer buffer = swsBuffer(stride * std::max(size.height(), 1));
    QImage image(
        buffer.get(), size.width(), size.height(), stride, format,
        [](void* memory) { av_free(memory); }, buffer.get());
    if (image.isNull())
        throw std::bad_alloc();
    buffer.release(); // the image frees it now
    return image;
}

QImage swsConverted(SwsContext* context, const uint8_t* const planes[], const int strides[],
                    int height, QSize size, QImage::Format format) {
    QImage out = swsImage(size, format);
    uint8_t* to[4] = {out.bits(), nullptr, nullptr, nullptr};
    const int toStrides[4] = {int(out.bytesPerLine()), 0, 0, 0};
    if (sws_scale(context, planes, strides, 0, height, to, toStrides) != size.height())
        return {};
    return out;
}

} // namespace tovi
