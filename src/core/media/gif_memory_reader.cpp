#include "gif_memory_reader.h"

#include <algorithm>
#include <cstring>

namespace tovi {
namespace {

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<GifMemoryReader*>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(length, reader->data->size() - reader->offset);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, reader->data->constData() + reader->offset, static_cast<size_t>(n));
    reader->offset += n;
    return static_cast<int>(n);
}

} // namespace

GifFileType* openGifReader(GifMemoryReader& reader) {
    int error = 0;
    return DGifOpen(&reader, readFromMemory, &error);
}

} // namespace tovi
