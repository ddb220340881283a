// Opening media from bytes and decoding every frame: images through ImageSource, everything it
// does not take through inspect's video path. Errors are fine; crashes and broken promises of
// the interface are not.

#include "app/tovi_error.h"
#include "fuzz_support.h"
#include "media/image_source.h"
#include "media/media_processor.h"

#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Enough to reach every disposal and blending case; more frames only cost time.
constexpr int maxFrames = 64;
constexpr int maxSide = 2000;

void check(bool promise) {
    if (!promise)
        __builtin_trap();
}

void decodeAll(tovi::ImageSource& source) {
    const int count = source.frameCount();
    check(count >= 1);
    for (int i = 0; i < std::min(count, maxFrames); ++i) {
        const QImage frame = source.frame(i, maxSide);
        if (!frame.isNull()) {
            check(std::max(frame.width(), frame.height()) <= maxSide);
            check(frame.format() == QImage::Format_RGB32 ||
                  frame.format() == QImage::Format_ARGB32_Premultiplied);
        }
        const double delay = source.delay(i);
        check(std::isfinite(delay) && delay >= 0.02);
    }
    check(source.frame(count, maxSide).isNull());
    check(source.frame(-1, maxSide).isNull());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovi::fuzz::ensureApplication();
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        if (const auto source = tovi::ImageSource::fromData(bytes)) {
            decodeAll(*source);
            return 0;
        }
    } catch (const tovi::ToviError&) {
        return 0;
    }
    try {
        const QString path = tovi::fuzz::writeScratch(QStringLiteral("input"), bytes);
        const tovi::MediaInfo info = tovi::MediaProcessor::inspect(QUrl::fromLocalFile(path));
        check(!info.frame.isNull());
        check(std::isfinite(info.duration) && info.duration >= 0);
    } catch (const tovi::ToviError&) {
    }
    return 0;
}
