// The installer's check of a card, the strict side of the GIF reader. Whatever it accepts, the
// lenient side must read the same way: a 240 × 240 screen, the same frames, each one decoding.

#include "app/tovi_error.h"
#include "device/game1_installer.h"
#include "fuzz_support.h"
#include "media/gif_reader.h"
#include "media/image_source.h"

#include <algorithm>
#include <cstdint>

namespace {

void check(bool promise) {
    if (!promise)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovi::fuzz::ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    bool whole = false;
    try {
        whole = tovi::Game1Installer::isWholeCard(bytes);
    } catch (const tovi::ToviError&) {
        return 0;
    }
    if (!whole)
        return 0;
    tovi::GifReader::MemoryInput input(bytes);
    const auto gif = tovi::GifReader::walk(input, tovi::GifReader::Strictness::lenient);
    check(gif && gif->whole && gif->canvas == QSize(240, 240));
    try {
        const auto source = tovi::ImageSource::fromData(bytes);
        check(source && source->frameCount() == int(gif->frames.size()));
        for (int i = 0; i < std::min(source->frameCount(), 8); ++i)
            check(!source->frame(i, 240).isNull());
    } catch (const tovi::ToviError&) {
        // the decode budget's clock alone may stop it
    }
    return 0;
}
