#include "sws_image.h"

#include <memory>
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

QImage swsImage(QSize size, QImage::Format format) {
    const qsizetype bytes = qsizetype(std::max(size.width(), 1)) * 4;
    const qsizetype stride = (bytes + block - 1) / block * block;
    struct Release {
        void operator()(uint8_t* p) const { av_free(p); }
    };
    std::unique_ptr<uint8_t[], Release> buffer(
        static_cast<uint8_t*>(av_mallocz(size_t(stride * std::max(size.height(), 1) + spare))));
    if (!buffer)
        throw std::bad_alloc();
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
