// GIF decoding through the one GIF reader, read leniently; the frames are composited here so
// that disposal, transparency, interlacing, sub-rectangles and local palettes behave as in
// browsers.

#include "media/decode_budget.h"
#include "media/gif_reader.h"
#include "media/image_scale.h"
#include "media/image_source_backends.h"

#include <QRect>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace tovi::detail {
namespace {

using GifReader::Disposal;

struct FrameInfo {
    GifReader::Frame frame;
    std::vector<QRgb> palette; // 256 premultiplied entries; the transparent one is 0
};

std::vector<QRgb> paletteOf(const QByteArray& file, const GifReader::Frame& frame) {
    std::vector<QRgb> palette(256, qRgb(0, 0, 0));
    for (int i = 0; i < std::min(frame.colours, 256); ++i) {
        const auto* rgb =
            reinterpret_cast<const uint8_t*>(file.constData()) + frame.palette + 3 * i;
        palette[size_t(i)] = qRgb(rgb[0], rgb[1], rgb[2]);
    }
    if (frame.transparent >= 0 && frame.transparent < 256)
        palette[size_t(frame.transparent)] = 0;
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
            return GifTiming::missingDelay;
        return m_frames[size_t(index)].frame.delay();
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
        const GifReader::Frame& frame = info.frame;
        const int w = frame.rect.width();
        const int h = frame.rect.height();
        m_pixels.resize(size_t(w) * size_t(h));
        const qsizetype decoded =
            frame.rect.isEmpty() ? 0 : GifReader::decompress(m_data, frame, m_pixels).pixels;

        const QRect visible = frame.rect.intersected(m_canvas.rect());
        if (frame.disposal == Disposal::previous) {
            m_savedRect = visible;
            m_saved = m_canvas.copy(visible);
        }
        int row = 0;
        const auto draw = [&](int y) {
            const qsizetype rowStart = qsizetype(row++) * w;
            const int canvasY = frame.rect.y() + y;
            if (canvasY < visible.top() || canvasY > visible.bottom() || rowStart >= decoded)
                return;
            auto* line = reinterpret_cast<QRgb*>(m_canvas.scanLine(canvasY));
            const uint8_t* source = m_pixels.data() + rowStart;
            const int last = int(
                std::min<qsizetype>(visible.right(), frame.rect.x() + (decoded - rowStart) - 1));
            for (int x = visible.left(); x <= last; ++x) {
                const QRgb colour = info.palette[source[x - frame.rect.x()]];
                if (qAlpha(colour))
                    line[x] = colour;
            }
        };
        if (frame.interlaced) {
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
        const GifReader::Frame& previous = m_frames[size_t(m_next - 1)].frame;
        if (previous.disposal == Disposal::background) {
            const QRect area = previous.rect.intersected(m_canvas.rect());
            for (int y = area.top(); y <= area.bottom(); ++y)
                std::fill_n(reinterpret_cast<QRgb*>(m_canvas.scanLine(y)) + area.left(),
                            area.width(), 0u);
        } else if (previous.disposal == Disposal::previous && !m_saved.isNull()) {
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
    // The structure only: image data is skipped, not decompressed, so opening is cheap; a file
    // cut short keeps the frames whose data is complete.
    GifReader::MemoryInput input(data);
    const DecodeClock clock;
    const auto gif = GifReader::walk(
        input, GifReader::Strictness::lenient,
        [&](const GifReader::Structure& walked, const auto& frame) {
            if (walked.frames.size() == 1 && !walked.screen.isEmpty())
                DecodeBudget::require(walked.screen.width(), walked.screen.height());
            DecodeBudget::require(frame.rect.width(), frame.rect.height());
            DecodeBudget::requireFrames(qint64(walked.frames.size()));
            clock.check({});
            return true;
        });
    if (!gif)
        return nullptr;
    DecodeBudget::require(gif->canvas.width(), gif->canvas.height());
    std::vector<FrameInfo> frames;
    frames.reserve(gif->frames.size());
    for (const GifReader::Frame& frame : gif->frames)
        frames.push_back({frame, paletteOf(data, frame)});
    return std::make_unique<GifImageSource>(std::move(data), gif->canvas, std::move(frames));
}

} // namespace tovi::detail
