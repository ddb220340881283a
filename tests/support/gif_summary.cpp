#include "gif_summary.h"
#include "media/gif_memory_reader.h"

#include <cstring>
#include <gif_lib.h>
#include <stdexcept>

namespace tovi::test {

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
    GifMemoryReader reader{&bytes};
    GifReaderPtr gif(openGifReader(reader));
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
        frame.indices.assign(image.RasterBits, image.RasterBits + desc.Width * desc.Height);
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
