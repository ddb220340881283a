// GIF decoding with giflib; frames are composited here so that disposal, transparency,
// interlacing, sub-rectangles and local palettes behave as in browsers.

#include "media/c_handles.h"
#include "media/image_scale.h"
#include "media/image_source_backends.h"

#include <QRect>
#include <algorithm>
#include <cstring>
#include <vector>

namespace tovi::detail {
namespace {

// Decoded pictures beyond this many pixels are refused rather than allocated.
constexpr qint64 maxPixels = 64LL * 1024 * 1024;
constexpr double missingDelay = 0.1;
constexpr double shortestDelay = 0.02;

struct MemoryReader {
    const QByteArray* data;
    qsizetype offset = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const qsizetype n = std::min<qsizetype>(length, reader->data->size() - reader->offset);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, reader->data->constData() + reader->offset, static_cast<size_t>(n));
    reader->offset += n;
    return static_cast<int>(n);
}

GifReaderPtr openReader(MemoryReader& reader) {
    int error = 0;
    return GifReaderPtr(DGifOpen(&reader, readFromMemory, &error));
}

struct FrameInfo {
    QRect rect;
    bool interlaced = false;
    std::vector<QRgb> palette; // 256 premultiplied entries; the transparent one is 0
    int disposal = DISPOSAL_UNSPECIFIED;
    double delay = missingDelay;
};

std::vector<QRgb> paletteOf(const ColorMapObject* map, int transparent) {
    std::vector<QRgb> palette(256, qRgb(0, 0, 0));
    if (map)
        for (int i = 0; i < std::min(map->ColorCount, 256); ++i)
            palette[i] = qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    if (transparent >= 0 && transparent < 256)
        palette[transparent] = 0;
    return palette;
}

class GifImageSource final : public ImageSource {
public:
    GifImageSource(QByteArray data, QSize canvas, std::vector<FrameInfo> frames)
        : m_data(std::move(data))
        , m_canvasSize(canvas)
        , m_frames(std::move(frames)) {}

    Type type() const override { return Type::gif; }
    int frameCount() const override { return static_cast<int>(m_frames.size()); }
    QSize size() const override { return m_canvasSize; }
    double delay(int index) const override {
        if (index < 0 || index >= frameCount())
            return missingDelay;
        return m_frames[index].delay;
    }

    QImage frame(int index, int maxPixelSize) override {
        if (index < 0 || index >= frameCount())
            return {};
        if (index < m_next || !m_decoder)
            restart();
        while (m_next <= index) {
            if (!decodeNext()) {
                m_decoder.reset(); // a broken stream starts over on the next request
                return {};
            }
        }
        return boundedTo(normalisedFrame(m_canvas), maxPixelSize);
    }

private:
    void restart() {
        m_reader = MemoryReader{&m_data, 0};
        m_decoder = openReader(m_reader);
        m_canvas = QImage(m_canvasSize, QImage::Format_ARGB32_Premultiplied);
        m_canvas.fill(Qt::transparent);
        m_saved = QImage();
        m_next = 0;
    }

    // Reads the next image record and composites it onto the canvas.
    bool decodeNext() {
        if (!m_decoder)
            return false;
        disposePrevious();
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        do {
            if (DGifGetRecordType(m_decoder.get(), &record) == GIF_ERROR)
                return false;
            if (record == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(m_decoder.get(), &code, &block) == GIF_ERROR)
                    return false;
                while (block)
                    if (DGifGetExtensionNext(m_decoder.get(), &block) == GIF_ERROR)
                        return false;
            } else if (record == TERMINATE_RECORD_TYPE) {
                return false;
            }
        } while (record != IMAGE_DESC_RECORD_TYPE);

        if (DGifGetImageDesc(m_decoder.get()) == GIF_ERROR)
            return false;
        const FrameInfo& info = m_frames[m_next];
        const int w = info.rect.width();
        const int h = info.rect.height();
        std::vector<GifPixelType> pixels(static_cast<size_t>(w) * h);
        for (int row : rowOrder(h, info.interlaced))
            if (DGifGetLine(m_decoder.get(), &pixels[static_cast<size_t>(row) * w], w) == GIF_ERROR)
                return false;

        if (info.disposal == DISPOSE_PREVIOUS)
            m_saved = m_canvas.copy();
        const QRect visible = info.rect.intersected(m_canvas.rect());
        for (int y = visible.top(); y <= visible.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_canvas.scanLine(y));
            const GifPixelType* source =
                &pixels[static_cast<size_t>(y - info.rect.y()) * w - info.rect.x()];
            for (int x = visible.left(); x <= visible.right(); ++x) {
                const QRgb colour = info.palette[source[x]];
                if (qAlpha(colour))
                    line[x] = colour;
            }
        }
        ++m_next;
        return true;
    }

    void disposePrevious() {
        if (m_next == 0)
            return;
        const FrameInfo& previous = m_frames[m_next - 1];
        if (previous.disposal == DISPOSE_BACKGROUND) {
            const QRect area = previous.rect.intersected(m_canvas.rect());
            for (int y = area.top(); y <= area.bottom(); ++y)
                std::fill_n(reinterpret_cast<QRgb*>(m_canvas.scanLine(y)) + area.left(),
                            area.width(), 0u);
        } else if (previous.disposal == DISPOSE_PREVIOUS && !m_saved.isNull()) {
            m_canvas = m_saved;
            m_saved = QImage();
        }
    }

    static std::vector<int> rowOrder(int height, bool interlaced) {
        std::vector<int> order;
        order.reserve(static_cast<size_t>(height));
        if (!interlaced) {
            for (int y = 0; y < height; ++y)
                order.push_back(y);
            return order;
        }
        static constexpr int start[] = {0, 4, 2, 1};
        static constexpr int step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < height; y += step[pass])
                order.push_back(y);
        return order;
    }

    QByteArray m_data;
    QSize m_canvasSize;
    std::vector<FrameInfo> m_frames;

    MemoryReader m_reader{&m_data, 0};
    GifReaderPtr m_decoder;
    QImage m_canvas;
    QImage m_saved; // the canvas to restore after a "restore to previous" frame
    int m_next = 0; // index of the next frame the decoder will produce
};

} // namespace

std::unique_ptr<ImageSource> openGif(QByteArray data) {
    if (!data.startsWith("GIF87a") && !data.startsWith("GIF89a"))
        return nullptr;

    // First pass: the structure only. Image data is skipped, not decompressed, so opening is
    // cheap; a file cut short keeps the frames whose data is complete.
    MemoryReader reader{&data, 0};
    GifReaderPtr gif = openReader(reader);
    if (!gif)
        return nullptr;
    std::vector<FrameInfo> frames;
    GraphicsControlBlock pending{};
    bool hasPending = false;
    QSize canvas(gif->SWidth, gif->SHeight);
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR || record == TERMINATE_RECORD_TYPE)
            break;
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR)
                break;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                hasPending = DGifExtensionToGCB(block[0], block + 1, &pending) == GIF_OK;
            bool broken = false;
            while (block && !broken)
                broken = DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR;
            if (broken)
                break;
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) == GIF_ERROR)
            break;
        const GifImageDesc& desc = gif->Image;
        if (desc.Width <= 0 || desc.Height <= 0 || qint64(desc.Width) * desc.Height > maxPixels)
            break;
        int codeSize = 0;
        GifByteType* block = nullptr;
        bool complete = DGifGetCode(gif.get(), &codeSize, &block) != GIF_ERROR;
        while (complete && block)
            complete = DGifGetCodeNext(gif.get(), &block) != GIF_ERROR;
        if (!complete)
            break;

        FrameInfo info;
        info.rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
        info.interlaced = desc.Interlace;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        info.palette = paletteOf(map, hasPending ? pending.TransparentColor : NO_TRANSPARENT_COLOR);
        if (hasPending) {
            info.disposal = pending.DisposalMode;
            info.delay = std::max(pending.DelayTime / 100.0, shortestDelay);
        }
        hasPending = false;
        if (frames.empty() && canvas.isEmpty())
            canvas = QSize(desc.Left + desc.Width, desc.Top + desc.Height);
        frames.push_back(std::move(info));
    }
    if (frames.empty() || canvas.isEmpty() || qint64(canvas.width()) * canvas.height() > maxPixels)
        return nullptr;
    return std::make_unique<GifImageSource>(std::move(data), canvas, std::move(frames));
}

} // namespace tovi::detail
