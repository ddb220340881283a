#include "gif_builder.h"

#include <QRandomGenerator>
#include <gif_lib.h>
#include <stdexcept>

namespace tovi::test {
namespace {

int appendBytes(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

ColorMapObject* makeMap(const std::vector<QRgb>& palette) {
    if (palette.empty())
        return nullptr;
    int size = 2;
    while (size < static_cast<int>(palette.size()))
        size *= 2;
    std::vector<GifColorType> colours(static_cast<size_t>(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(qRed(palette[i])),
                                  static_cast<GifByteType>(qGreen(palette[i])),
                                  static_cast<GifByteType>(qBlue(palette[i]))};
    return GifMakeMapObject(size, colours.data());
}

void check(int result) {
    if (result == GIF_ERROR)
        throw std::runtime_error("giflib could not write the test GIF");
}

} // namespace

GifFrameSpec solidFrame(QRect rect, unsigned char index, int delayCentiseconds) {
    GifFrameSpec frame;
    frame.rect = rect;
    frame.pixels.assign(static_cast<size_t>(rect.width() * rect.height()), index);
    frame.delayCentiseconds = delayCentiseconds;
    return frame;
}

QByteArray buildGif(QSize screen, const std::vector<QRgb>& globalPalette,
                    const std::vector<GifFrameSpec>& frames) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    if (!gif)
        throw std::runtime_error("giflib could not open a writer");
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = makeMap(globalPalette);
    check(EGifPutScreenDesc(gif, screen.width(), screen.height(), 8, 0, global));
    GifFreeMapObject(global);
    for (const GifFrameSpec& frame : frames) {
        if (frame.control) {
            GraphicsControlBlock gcb{frame.disposal, false, frame.delayCentiseconds,
                                     frame.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&gcb, extension);
            check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension));
        }
        ColorMapObject* local = makeMap(frame.localPalette);
        check(EGifPutImageDesc(gif, frame.rect.x(), frame.rect.y(), frame.rect.width(),
                               frame.rect.height(), frame.interlaced, local));
        GifFreeMapObject(local);
        const int w = frame.rect.width();
        std::vector<int> rows;
        if (frame.interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < frame.rect.height(); y += step[pass])
                    rows.push_back(y);
        } else {
            for (int y = 0; y < frame.rect.height(); ++y)
                rows.push_back(y);
        }
        for (int y : rows)
            check(EGifPutLine(
                gif, const_cast<GifPixelType*>(&frame.pixels[static_cast<size_t>(y * w)]), w));
    }
    check(EGifCloseFile(gif, &error));
    return out;
}

QImage noise(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, 0xff000000u | (random.generate() & 0xffffffu));
    return image;
}

QByteArray noiseGif(int count, int perSecond) {
    std::vector<QRgb> palette;
    QRandomGenerator random(7);
    for (int i = 0; i < 256; ++i)
        palette.push_back(random.generate() | 0xff000000u);
    std::vector<GifFrameSpec> frames;
    for (int f = 0; f < count; ++f) {
        GifFrameSpec frame;
        frame.rect = QRect(0, 0, 240, 240);
        for (int p = 0; p < 240 * 240; ++p)
            frame.pixels.push_back(static_cast<unsigned char>(random.bounded(256)));
        // Whole centiseconds that add up to the rate: 16, 17, 17 at six a second.
        frame.delayCentiseconds = (f + 1) * 100 / perSecond - f * 100 / perSecond;
        frames.push_back(std::move(frame));
    }
    return buildGif({240, 240}, palette, frames);
}

} // namespace tovi::test
