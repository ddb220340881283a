// Animated PNG through FFmpeg's APNG demuxer and decoder (QImageReader sees only the first
// frame). The decoder applies each frame's blend and dispose operations; frames last what their
// fcTL chunks say.

#include "media/c_handles.h"
#include "media/decode_budget.h"
#include "media/gif_timing.h"
#include "media/image_scale.h"
#include "media/image_source_backends.h"
#include "media/sws_image.h"

#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

namespace tovi::detail {
namespace {

constexpr int ioBufferSize = 32 * 1024;

struct MemoryInput {
    QByteArray data;
    qsizetype offset = 0;
};

int readPacket(void* opaque, uint8_t* buffer, int size) {
    auto* input = static_cast<MemoryInput*>(opaque);
    const qsizetype n = std::min<qsizetype>(size, input->data.size() - input->offset);
    if (n <= 0)
        return AVERROR_EOF;
    std::memcpy(buffer, input->data.constData() + input->offset, static_cast<size_t>(n));
    input->offset += n;
    return static_cast<int>(n);
}

int64_t seekTo(void* opaque, int64_t offset, int whence) {
    auto* input = static_cast<MemoryInput*>(opaque);
    const int64_t size = input->data.size();
    if (whence & AVSEEK_SIZE)
        return size;
    int64_t target = offset;
    if ((whence & 3) == SEEK_CUR)
        target += input->offset;
    else if ((whence & 3) == SEEK_END)
        target += size;
    if (target < 0 || target > size)
        return AVERROR(EINVAL);
    input->offset = target;
    return target;
}

// One demuxer and decoder over the bytes, positioned at the first frame.
class ApngStream {
public:
    explicit ApngStream(const QByteArray& data)
        : m_input{data, 0} {}

    bool open() {
        auto* buffer = static_cast<uint8_t*>(av_malloc(ioBufferSize));
        if (!buffer)
            return false;
        m_io.reset(
            avio_alloc_context(buffer, ioBufferSize, 0, &m_input, readPacket, nullptr, seekTo));
        if (!m_io) {
            av_free(buffer);
            return false;
        }
        AVFormatContext* format = avformat_alloc_context();
        if (!format)
            return false;
        format->pb = m_io.get();
        if (avformat_open_input(&format, nullptr, av_find_input_format("apng"), nullptr) < 0)
            return false; // avformat_open_input frees the context on failure
        m_format.reset(format);
        // The header tells everything the decoder needs; probing would decode frames for nothing.
        if (m_format->nb_streams < 1)
            return false;
        m_stream = m_format->streams[0];
        const AVCodec* codec = avcodec_find_decoder(m_stream->codecpar->codec_id);
        m_codec.reset(avcodec_alloc_context3(codec));
        if (m_codec)
            m_codec->max_pixels = DecodeBudget::maxPixels;
        if (!codec || !m_codec ||
            avcodec_parameters_to_context(m_codec.get(), m_stream->codecpar) < 0 ||
            avcodec_open2(m_codec.get(), codec, nullptr) < 0)
            return false;
        m_packet.reset(av_packet_alloc());
        m_frame.reset(av_frame_alloc());
        return m_packet && m_frame;
    }

    // The next decoded frame as an ARGB image scaled down to at most `maxPixelSize` on its
    // longer side while its colours are converted, or null at the end or on damage. `convert`
    // false only steps over the frame.
    QImage next(int maxPixelSize, bool convert = true) {
        for (;;) {
            const int received = avcodec_receive_frame(m_codec.get(), m_frame.get());
            if (received == 0) {
                QImage image =
                    convert ? toImage(maxPixelSize) : QImage(1, 1, QImage::Format_ARGB32);
                av_frame_unref(m_frame.get());
                return image;
            }
            if (received != AVERROR(EAGAIN))
                return {};
            const int read = av_read_frame(m_format.get(), m_packet.get());
            const int sent =
                avcodec_send_packet(m_codec.get(), read < 0 ? nullptr : m_packet.get());
            av_packet_unref(m_packet.get());
            if (sent < 0 && sent != AVERROR_EOF)
                return {};
        }
    }

private:
    QImage toImage(int maxPixelSize) {
        const int w = m_frame->width;
        const int h = m_frame->height;
        const int longer = std::max(w, h);
        QSize size(w, h);
        if (longer > maxPixelSize) {
            const double factor = double(maxPixelSize) / longer;
            size = QSize(std::max(1, int(std::lround(w * factor))),
                         std::max(1, int(std::lround(h * factor))));
        }
        SwsContextPtr scaler(sws_getContext(w, h, static_cast<AVPixelFormat>(m_frame->format),
                                            size.width(), size.height(), AV_PIX_FMT_BGRA,
                                            size == QSize(w, h) ? SWS_POINT : SWS_AREA, nullptr,
                                            nullptr, nullptr));
        if (!scaler)
            return {};
        return swsConverted(scaler.get(), m_frame->data, m_frame->linesize, h, size,
                            QImage::Format_ARGB32);
    }

    MemoryInput m_input;
    AvioContextPtr m_io;
    FormatContextPtr m_format;
    AVStream* m_stream = nullptr;
    CodecContextPtr m_codec;
    PacketPtr m_packet;
    FramePtr m_frame;
};

class ApngImageSource final : public ImageSource {
public:
    ApngImageSource(QByteArray data, QSize size, std::vector<double> delays)
        : m_data(std::move(data))
        , m_size(size)
        , m_delays(std::move(delays)) {}

    Type type() const override { return Type::other; }
    int frameCount() const override { return static_cast<int>(m_delays.size()); }
    QSize size() const override { return m_size; }
    double delay(int index) const override {
        return index >= 0 && index < frameCount() ? m_delays[index] : GifTiming::missingDelay;
    }

    QImage frame(int index, int maxPixelSize) override {
        if (index < 0 || index >= frameCount())
            return {};
        if (!m_stream || index < m_next) {
            m_stream = std::make_unique<ApngStream>(m_data);
            m_next = 0;
            if (!m_stream->open()) {
                m_stream.reset();
                return {};
            }
        }
        QImage image;
        const DecodeClock clock;
        while (m_next <= index) {
            clock.check(stopRequest());
            image = m_stream->next(maxPixelSize, m_next == index);
            ++m_next;
            if (image.isNull()) {
                m_stream.reset();
                return {};
            }
        }
        return boundedTo(normalisedFrame(image), maxPixelSize);
    }

private:
    QByteArray m_data;
    QSize m_size;
    std::vector<double> m_delays;
    std::unique_ptr<ApngStream> m_stream;
    int m_next = 0;
};

} // namespace

bool isAnimatedPng(const QByteArray& data) {
    if (!data.startsWith("\x89PNG\r\n\x1a\n"))
        return false;
    // Walk the chunks: an animation control chunk must come before the image data.
    qsizetype at = 8;
    while (at + 8 <= data.size()) {
        const auto length = qFromBigEndian<quint32>(data.constData() + at);
        const QByteArray type = data.mid(at + 4, 4);
        if (type == "acTL")
            return true;
        if (type == "IDAT" || length > quint32(data.size()))
            return false;
        at += 12 + qsizetype(length);
    }
    return false;
}

std::unique_ptr<ImageSource> openAnimatedPng(QByteArray data) {
    // The canvas and every frame's duration come from the chunks, before FFmpeg allocates
    // anything; each frame must lie inside the canvas.
    QSize canvas;
    std::vector<double> delays;
    const DecodeClock clock;
    for (qsizetype at = 8; at + 8 <= data.size();) {
        const auto length = qFromBigEndian<quint32>(data.constData() + at);
        const char* body = data.constData() + at + 8;
        const qsizetype left = data.size() - at - 8;
        const QByteArray type = data.mid(at + 4, 4);
        if (type == "IHDR" && length >= 8 && left >= 8) {
            canvas = QSize(int(std::min<quint32>(qFromBigEndian<quint32>(body), INT_MAX)),
                           int(std::min<quint32>(qFromBigEndian<quint32>(body + 4), INT_MAX)));
            DecodeBudget::require(canvas.width(), canvas.height());
        } else if (type == "fcTL" && length >= 26 && left >= 26) {
            const quint32 w = qFromBigEndian<quint32>(body + 4),
                          h = qFromBigEndian<quint32>(body + 8);
            const quint32 x = qFromBigEndian<quint32>(body + 12),
                          y = qFromBigEndian<quint32>(body + 16);
            if (canvas.isEmpty() || w == 0 || h == 0 || x > quint32(canvas.width()) ||
                y > quint32(canvas.height()) || w > quint32(canvas.width()) - x ||
                h > quint32(canvas.height()) - y)
                return nullptr; // FFmpeg cannot read it either: its first frame through Qt
            DecodeBudget::requireFrames(qint64(delays.size()) + 1);
            if (delays.size() % 1024 == 0)
                clock.check({});
            const double numerator = qFromBigEndian<quint16>(body + 20);
            const quint16 denominator = qFromBigEndian<quint16>(body + 22);
            const double seconds = numerator / (denominator ? denominator : 100);
            // A zero delay counts as none given.
            delays.push_back(
                GifTiming::frameDelay(seconds > 0 ? std::optional(seconds) : std::nullopt));
        }
        if (type == "IEND" || length > quint32(left))
            break;
        at += 12 + qsizetype(length);
    }
    if (delays.size() < 2)
        return nullptr; // a single frame reads better through Qt
    ApngStream first(data);
    if (!first.open() || first.next(64).isNull())
        return nullptr;
    return std::make_unique<ApngImageSource>(std::move(data), canvas, std::move(delays));
}

} // namespace tovi::detail
