// A short export of a small input, the way the studio makes its single graphic: the first byte
// picks the kind of export (and a corner crop), the rest is the media file.

#include "app/tovi_error.h"
#include "fuzz_support.h"
#include "media/media_processor.h"

#include <QUrl>
#include <cstdint>

namespace {

// Larger inputs add decoding time, not new paths through the export.
constexpr size_t maxInput = 64 * 1024;

tovi::ExportOptions optionsFor(uint8_t selector) {
    tovi::ExportOptions options;
    switch (selector % 3) {
    case 0:
        options.format = tovi::OutputFormat::jpg;
        break;
    case 1:
        options.format = tovi::OutputFormat::gif;
        options.length = 0.5;
        options.fps = 4;
        break;
    default:
        options.format = tovi::OutputFormat::gif;
        options.rotation = true;
        options.rotationSeconds = 1;
        options.fps = 2;
        options.clockwise = (selector & 0x80) == 0;
        options.captions = true;
        options.captionTitle = QStringLiteral("Zażółć gęślą jaźń – wakacje nad morzem");
        options.captionSubtitle = QStringLiteral("Śmiało, „ćma” → 2026…");
        break;
    }
    if ((selector / 3) % 2 == 1)
        options.crop = tovi::CropSettings{3, -1, 1};
    return options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > maxInput)
        return 0;
    tovi::fuzz::ensureApplication();
    const tovi::ExportOptions options = optionsFor(data[0]);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    const QString path = tovi::fuzz::writeScratch(QStringLiteral("input"), bytes);
    try {
        const tovi::MediaInfo media = tovi::MediaProcessor::inspect(QUrl::fromLocalFile(path));
        const QByteArray out = tovi::MediaProcessor::exportMedia(media, options);
        if (out.isEmpty() || out.size() > tovi::MediaProcessor::maxGifBytes)
            __builtin_trap();
    } catch (const tovi::ToviError&) {
    } catch (const tovi::Cancelled&) {
    }
    return 0;
}
