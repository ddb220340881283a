#include "gif_summary.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <stdexcept>

namespace tovi::test {
namespace {

struct Reader {
    const QByteArray& data;
    int offset = 0;
};

int readFromBuffer(GifFileType* gif, GifByteType* out, int length) {
    auto* reader = static_cast<Reader*>(gif->UserData);
    const int count = std::min<int>(length, static_cast<int>(reader->data.size()) - reader->offset);
    std::memcpy(out, reader->data.constData() + reader->offset, static_cast<size_t>(count));
    reader->offset += count;
    return count;
}

} // namespace

std::vector<int> GifSummary::delays() const {
    std::vector<int> result;
    for (const Frame& frame : frames)
        result.push_back(frame.delay);
    return result;
}

int GifSummary::totalDelay() const {
    int total = 0;
    for (const Frame& frame : frames)
        total += frame.delay;
    return total;
}

GifSummary summarize(const QByteArray& bytes) {
    Reader reader{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, void (*)(GifFileType*)> gif(
        DGifOpen(&reader, readFromBuffer, &error),
        [](GifFileType* file) { DGifCloseFile(file, nullptr); });
    if (!gif || DGifSlurp(gif.get()) != GIF_OK)
        throw std::runtime_error("giflib cannot read the file");
    GifSummary summary;
    summary.version = bytes.left(6);
    summary.screen = QSize(gif->SWidth, gif->SHeight);
    summary.globalPaletteSize = gif->SColorMap ? gif->SColorMap->ColorCount : 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        for (int b = 0; b + 1 < image.ExtensionBlockCount; ++b) {
            const ExtensionBlock& block = image.ExtensionBlocks[b];
            const ExtensionBlock& next = image.ExtensionBlocks[b + 1];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && next.ByteCount == 3 &&
                next.Bytes[0] == 1) {
                ++summary.loopBlocks;
                summary.loopCount = next.Bytes[1] | next.Bytes[2] << 8;
            }
        }
        GifSummary::Frame frame;
        const GifImageDesc& desc = image.ImageDesc;
        frame.rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
        frame.paletteSize = desc.ColorMap ? desc.ColorMap->ColorCount : 0;
        frame.interlaced = desc.Interlace;
        GraphicsControlBlock control;
        if (DGifSavedExtensionToGCB(gif.get(), i, &control) == GIF_OK) {
            frame.delay = control.DelayTime;
            frame.disposal = control.DisposalMode;
            frame.transparent = control.TransparentColor;
        }
        summary.frames.push_back(frame);
    }
    return summary;
}

} // namespace tovi::test
