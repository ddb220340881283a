#include "sws_image.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

extern "C" {
#include <libavutil/mem.h>
}

namespace tovi {
namespace {
constexpr qsizetype block = 64;
// Past the last row: a whole block of the widest pixels, and FFmpeg's own input padding.
constexpr qsizetype spare = 4 * block + AV_INPUT_BUFFER_PADDING_SIZE;

bool guarded() {
    const char* mode = std::getenv("TOVI_GUARD_BUFFERS");
    return mode && std::strcmp(mode, "1") == 0;
}

struct Mapping {
    void* start;
    size_t length;
};

void unmap(void* info) {
    auto* mapping = static_cast<Mapping*>(info);
    ::munmap(mapping->start, mapping->length);
    delete mapping;
}

// `bytes` (a multiple of 64) of zeroes that end where an inaccessible page begins.
uint8_t* guardedBuffer(size_t bytes, Mapping*& mapping) {
    const auto page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t used = (bytes + page - 1) / page * page;
    void* start =
        ::mmap(nullptr, used + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        throw std::bad_alloc();
    auto* base = static_cast<uint8_t*>(start);
    if (::mprotect(base + used, page, PROT_NONE) != 0) {
        ::munmap(start, used + page);
        throw std::bad_alloc();
    }
    mapping = new Mapping{start, used + page};
    return base + used - bytes;
}

} // namespace

QImage swsImage(QSize size, QImage::Format format) {
    const qsizetype bytes = qsizetype(std::max(size.width(), 1)) * 4;
    const qsizetype stride = (bytes + block - 1) / block * block;
    const auto length = size_t(stride * std::max(size.height(), 1) + spare);
    uint8_t* buffer = nullptr;
    QImageCleanupFunction release = av_free;
    void* owner = nullptr;
    if (guarded()) {
        Mapping* mapping = nullptr;
        buffer = guardedBuffer(length, mapping);
        release = unmap;
        owner = mapping;
    } else {
        buffer = static_cast<uint8_t*>(av_mallocz(length));
        if (!buffer)
            throw std::bad_alloc();
        owner = buffer;
    }
    QImage image(buffer, size.width(), size.height(), stride, format, release, owner);
    if (image.isNull()) {
        release(owner);
        throw std::bad_alloc();
    }
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
