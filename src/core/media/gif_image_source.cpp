// GIF decoding: giflib reads the structure, the pixels are decompressed and composited here so
// that disposal, transparency, interlacing, sub-rectangles, local palettes and streams that go on
// without a clear code once the code table is full behave as in browsers.

#include "media/c_handles.h"
#include "media/decode_budget.h"
#include "media/gif_memory_reader.h"
#include "media/image_scale.h"
#include "media/image_source_backends.h"

#include <QRect>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace tovi::detail {
namespace {

constexpr double missingDelay = 0.1;
constexpr double shortestDelay = 0.02;

struct FrameInfo {
    QRect rect;
    bool interlaced = false;
    int codeSize = 0;          // the LZW minimum code size
    qsizetype dataOffset = 0;  // the first data sub-block in the file
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

// GIF's variable-width LZW over the data sub-blocks starting at `offset`. Writes at most
// `out.size()` indices and returns how many it wrote: a stream that ends early leaves the rest
// of the picture undrawn, as browsers do. Once the table holds 4,096 entries, codes go on being
// read at 12 bits without new entries until a clear code comes (or never).
qsizetype decompress(const QByteArray& file, qsizetype offset, int codeSize,
                     std::vector<uint8_t>& out) {
    constexpr int tableSize = 4096;
    if (codeSize < 1 || codeSize > 11)
        return 0;
    std::array<uint16_t, tableSize> prefix{};
    std::array<uint8_t, tableSize> suffix{}, first{};
    std::array<uint16_t, tableSize> length{};
    const int clear = 1 << codeSize, end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[size_t(i)] = first[size_t(i)] = uint8_t(i);
        length[size_t(i)] = 1;
    }
    int width = codeSize + 1, next = clear + 2, previous = -1;

    const auto* bytes = reinterpret_cast<const uint8_t*>(file.constData());
    const qsizetype size = file.size();
    qsizetype blockLeft = 0, written = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    const qsizetype total = qsizetype(out.size());
    while (written < total) {
        while (bitCount < width) {
            if (blockLeft == 0) {
                if (offset >= size || bytes[offset] == 0)
                    return written; // the terminator, or the file is cut short
                blockLeft = bytes[offset++];
            }
            if (offset >= size)
                return written;
            bits |= uint32_t(bytes[offset++]) << bitCount;
            bitCount += 8;
            --blockLeft;
        }
        const int code = int(bits & ((1u << width) - 1));
        bits >>= width;
        bitCount -= width;

        if (code == clear) {
            width = codeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            return written;
        if (previous < 0) {
            if (code > clear)
                return written; // a string that was never defined
            out[size_t(written++)] = uint8_t(code);
            previous = code;
            continue;
        }
        uint8_t head;
        if (code < next)
            head = first[size_t(code)];
        else if (code == next && next < tableSize)
            head = first[size_t(previous)]; // the string being defined: previous + its own head
        else
            return written;
        if (next < tableSize) {
            prefix[size_t(next)] = uint16_t(previous);
            suffix[size_t(next)] = head;
            first[size_t(next)] = first[size_t(previous)];
            length[size_t(next)] = uint16_t(length[size_t(previous)] + 1);
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        // The string of `code` (defined by now), written back to front, clipped to the picture.
        const qsizetype n = length[size_t(code)];
        qsizetype at = written + n - 1;
        for (int c = code;; c = prefix[size_t(c)]) {
            if (at < total)
                out[size_t(at)] = suffix[size_t(c)];
            --at;
            if (c < clear)
                break;
        }
        written = std::min(total, written + n);
        previous = code;
    }
    return written;
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
        return m_frames[size_t(index)].delay;
    }

    QImage frame(int index, int maxPixelSize) override {
        if (index < 0 || index >= frameCount())
            return {};
        const DecodeClock clock;
        if (index < m_next || m_canvas.isNull())
            restart();
        while (m_next <= index) {
            clock.check(stopRequest());
            compositeNext();
        }
        return normalisedFrame(boundedTo(m_canvas, maxPixelSize));
    }

private:
    void restart() {
        m_canvas = QImage(m_canvasSize, QImage::Format_ARGB32_Premultiplied);
        if (m_canvas.isNull())
            throw std::bad_alloc();
        m_canvas.fill(Qt::transparent);
        m_saved = QImage();
        m_next = 0;
    }

    // Decompresses the next frame and draws it onto the canvas.
    void compositeNext() {
        disposePrevious();
        const FrameInfo& info = m_frames[size_t(m_next)];
        const int w = info.rect.width();
        const int h = info.rect.height();
        m_pixels.resize(size_t(w) * size_t(h));
        const qsizetype decoded = decompress(m_data, info.dataOffset, info.codeSize, m_pixels);

        const QRect visible = info.rect.intersected(m_canvas.rect());
        if (info.disposal == DISPOSE_PREVIOUS) {
            m_savedRect = visible;
            m_saved = m_canvas.copy(visible);
        }
        int row = 0;
        const auto draw = [&](int y) {
            const qsizetype rowStart = qsizetype(row++) * w;
            const int canvasY = info.rect.y() + y;
            if (canvasY < visible.top() || canvasY > visible.bottom() || rowStart >= decoded)
                return;
            auto* line = reinterpret_cast<QRgb*>(m_canvas.scanLine(canvasY));
            const uint8_t* source = m_pixels.data() + rowStart;
            const int last =
                int(std::min<qsizetype>(visible.right(), info.rect.x() + (decoded - rowStart) - 1));
            for (int x = visible.left(); x <= last; ++x) {
                const QRgb colour = info.palette[source[x - info.rect.x()]];
                if (qAlpha(colour))
                    line[x] = colour;
            }
        };
        if (info.interlaced) {
            static constexpr int start[] = {0, 4, 2, 1};
            static constexpr int step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = start[pass]; y < h; y += step[pass])
                    draw(y);
        } else {
            for (int y = 0; y < h; ++y)
                draw(y);
        }
        ++m_next;
    }

    void disposePrevious() {
        if (m_next == 0)
            return;
        const FrameInfo& previous = m_frames[size_t(m_next - 1)];
        if (previous.disposal == DISPOSE_BACKGROUND) {
            const QRect area = previous.rect.intersected(m_canvas.rect());
            for (int y = area.top(); y <= area.bottom(); ++y)
                std::fill_n(reinterpret_cast<QRgb*>(m_canvas.scanLine(y)) + area.left(),
                            area.width(), 0u);
        } else if (previous.disposal == DISPOSE_PREVIOUS && !m_saved.isNull()) {
            // Only the area the frame covered changed: put that back.
            for (int y = 0; y < m_saved.height(); ++y)
                std::memcpy(reinterpret_cast<QRgb*>(m_canvas.scanLine(m_savedRect.top() + y)) +
                                m_savedRect.left(),
                            m_saved.constScanLine(y), size_t(m_saved.width()) * sizeof(QRgb));
            m_saved = QImage();
        }
    }

    QByteArray m_data;
    QSize m_canvasSize;
    std::vector<FrameInfo> m_frames;

    QImage m_canvas;
    QImage m_saved; // what a "restore to previous" frame covered, and where
    QRect m_savedRect;
    std::vector<uint8_t> m_pixels;
    int m_next = 0; // index of the next frame to composite
};

} // namespace

std::unique_ptr<ImageSource> openGif(QByteArray data) {
    if (!data.startsWith("GIF87a") && !data.startsWith("GIF89a"))
        return nullptr;

    // First pass: the structure only. Image data is skipped, not decompressed, so opening is
    // cheap; a file cut short keeps the frames whose data is complete.
    GifMemoryReader reader{&data, 0};
    GifReaderPtr gif(openGifReader(reader));
    if (!gif)
        return nullptr;
    std::vector<FrameInfo> frames;
    GraphicsControlBlock pending{};
    bool hasPending = false;
    QSize canvas(gif->SWidth, gif->SHeight);
    if (!canvas.isEmpty())
        DecodeBudget::require(canvas.width(), canvas.height());
    const DecodeClock clock;
    bool emptyImage = false;
    for (int records = 0;; ++records) {
        if (records % 1024 == 0)
            clock.check({});
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
        const GifImageDesc desc = gif->Image;
        // giflib has read the code size byte: the data sub-blocks start here.
        const qsizetype dataOffset = reader.offset;
        int codeSize = 0;
        GifByteType* block = nullptr;
        bool complete = DGifGetCode(gif.get(), &codeSize, &block) != GIF_ERROR;
        while (complete && block)
            complete = DGifGetCodeNext(gif.get(), &block) != GIF_ERROR;
        if (!complete)
            break;
        if (desc.Width <= 0 || desc.Height <= 0) { // drawn by nobody, as in browsers
            hasPending = false;
            emptyImage = true;
            continue;
        }
        DecodeBudget::require(desc.Width, desc.Height);
        DecodeBudget::requireFrames(qint64(frames.size()) + 1);

        FrameInfo info;
        info.rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
        info.interlaced = desc.Interlace;
        info.codeSize = codeSize;
        info.dataOffset = dataOffset;
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        info.palette = paletteOf(map, hasPending ? pending.TransparentColor : NO_TRANSPARENT_COLOR);
        if (hasPending) {
            info.disposal = pending.DisposalMode;
            info.delay = std::max(pending.DelayTime / 100.0, shortestDelay);
        }
        hasPending = false;
        if (frames.empty() && canvas.isEmpty()) {
            canvas = QSize(desc.Left + desc.Width, desc.Top + desc.Height);
            DecodeBudget::require(canvas.width(), canvas.height());
        }
        frames.push_back(std::move(info));
    }
    // Empty images alone show the logical screen, blank, as browsers show it; with no image at
    // all there is nothing to show.
    if (frames.empty() && emptyImage)
        frames.emplace_back();
    if (frames.empty() || canvas.isEmpty())
        return nullptr;
    return std::make_unique<GifImageSource>(std::move(data), canvas, std::move(frames));
}

} // namespace tovi::detail
