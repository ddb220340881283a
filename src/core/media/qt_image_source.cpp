// Every other image format through QImageReader: JPEG, PNG, WebP (animated too), BMP, TIFF…
// EXIF orientation is applied by the reader.

#include "media/decode_budget.h"
#include "media/gif_timing.h"
#include "media/image_scale.h"
#include "media/image_source_backends.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace tovi::detail {
namespace {

// Qt and WebP give 0 for a frame without a duration.
double delayOf(qint64 milliseconds) {
    return GifTiming::frameDelay(milliseconds > 0 ? std::optional(double(milliseconds) / 1000.0)
                                                  : std::nullopt);
}

struct WebpAnimation {
    QSize canvas;
    std::vector<double> delays;
};

// An animated WebP's canvas and frame durations, read from its chunk headers (VP8X, ANMF)
// without decoding a picture. Nothing for a still or malformed WebP.
std::optional<WebpAnimation> webpAnimation(QIODevice& file) {
    const auto u24 = [](const char* p) {
        return qint64(uchar(p[0])) | qint64(uchar(p[1])) << 8 | qint64(uchar(p[2])) << 16;
    };
    const QByteArray header = file.read(12);
    if (header.size() < 12 || !header.startsWith("RIFF") || header.mid(8, 4) != "WEBP")
        return std::nullopt;
    WebpAnimation animation;
    bool animated = false;
    const DecodeClock clock;
    for (qint64 at = 12;;) {
        if (!file.seek(at))
            break;
        const QByteArray chunk = file.read(8 + 16);
        if (chunk.size() < 8)
            break;
        const qint64 length = qFromLittleEndian<quint32>(chunk.constData() + 4);
        const QByteArray type = chunk.left(4);
        if (type == "VP8X" && chunk.size() >= 8 + 10) {
            animated = chunk[8] & 0x02;
            animation.canvas =
                QSize(int(u24(chunk.constData() + 12) + 1), int(u24(chunk.constData() + 15) + 1));
            DecodeBudget::require(animation.canvas.width(), animation.canvas.height());
        } else if (type == "ANMF" && chunk.size() >= 8 + 16) {
            DecodeBudget::requireFrames(qint64(animation.delays.size()) + 1);
            if (animation.delays.size() % 1024 == 0)
                clock.check({});
            animation.delays.push_back(delayOf(u24(chunk.constData() + 8 + 12)));
        }
        at += 8 + length + (length & 1);
    }
    if (!animated || animation.delays.empty())
        return std::nullopt;
    return animation;
}

class QtImageSource final : public ImageSource {
public:
    QtImageSource(QString path, QByteArray data)
        : m_path(std::move(path))
        , m_data(std::move(data)) {}

    // False when no reader handles the data.
    bool scan() {
        // Qt refuses pictures over its own limit before allocating; let it hold what the budget
        // allows and no more.
        static std::once_flag limited;
        std::call_once(limited, [] {
            QImageReader::setAllocationLimit(int(DecodeBudget::maxPixels * 4 / (1024 * 1024)) + 1);
        });
        restart();
        if (!m_reader->canRead())
            return false;
        m_format = m_reader->format();
        m_size = m_reader->size();
        if (m_size.isValid())
            DecodeBudget::require(m_size.width(), m_size.height());
        if (m_reader->transformation() & QImageIOHandler::TransformationRotate90)
            m_size.transpose();
        if (m_format == "webp") {
            std::optional<WebpAnimation> animation;
            if (m_path.isEmpty()) {
                QBuffer buffer(&m_data);
                if (buffer.open(QIODevice::ReadOnly))
                    animation = webpAnimation(buffer);
            } else if (QFile file(m_path); file.open(QIODevice::ReadOnly)) {
                animation = webpAnimation(file);
            }
            m_delays = animation ? std::move(animation->delays)
                                 : std::vector<double>{GifTiming::missingDelay};
            if (animation && !m_size.isValid())
                m_size = animation->canvas;
            return true;
        }
        const int count = std::max(1, m_reader->imageCount());
        DecodeBudget::requireFrames(count);
        m_delays.assign(static_cast<size_t>(count), GifTiming::missingDelay);
        if (count > 1) {
            // Other formats tell frame durations only frame by frame.
            const DecodeClock clock;
            for (int i = 0; i < count; ++i) {
                clock.check(stopRequest());
                if (m_reader->read().isNull()) {
                    m_delays.resize(static_cast<size_t>(std::max(i, 1)));
                    break;
                }
                m_delays[size_t(i)] = delayOf(m_reader->nextImageDelay());
            }
            restart();
        }
        return true;
    }

    Type type() const override { return Type::other; }
    int frameCount() const override { return static_cast<int>(m_delays.size()); }
    QSize size() const override { return m_size; }
    double delay(int index) const override {
        return index >= 0 && index < frameCount() ? m_delays[index] : GifTiming::missingDelay;
    }

    QImage frame(int index, int maxPixelSize) override {
        if (index < 0 || index >= frameCount())
            return {};
        if (frameCount() == 1) {
            restart();
            // Let the decoder shrink while decoding (JPEG scales in the DCT); the bound is
            // symmetric, so the size before orientation gives the right factor.
            const QSize stored = m_reader->size();
            const int longer = std::max(stored.width(), stored.height());
            if (longer > maxPixelSize && stored.isValid())
                m_reader->setScaledSize(
                    stored.scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio));
            return boundedTo(normalisedFrame(m_reader->read()), maxPixelSize);
        }
        if (index < m_next)
            restart();
        QImage image;
        const DecodeClock clock;
        while (m_next <= index) {
            clock.check(stopRequest());
            image = m_reader->read();
            ++m_next;
            if (image.isNull()) {
                m_next = frameCount(); // start over next time
                return {};
            }
        }
        return boundedTo(normalisedFrame(image), maxPixelSize);
    }

private:
    void restart() {
        m_reader.reset();
        m_buffer.reset();
        if (m_path.isEmpty()) {
            m_buffer = std::make_unique<QBuffer>(&m_data);
            m_buffer->open(QIODevice::ReadOnly);
            m_reader = std::make_unique<QImageReader>(m_buffer.get(), m_format);
        } else {
            m_reader = std::make_unique<QImageReader>(m_path, m_format);
        }
        m_reader->setAutoTransform(true);
        m_reader->setDecideFormatFromContent(m_format.isEmpty());
        m_next = 0;
    }

    QString m_path;
    QByteArray m_data;
    QByteArray m_format;
    QSize m_size;
    std::vector<double> m_delays;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QImageReader> m_reader;
    int m_next = 0;
};

} // namespace

std::unique_ptr<ImageSource> openWithQt(const QString& path, QByteArray data) {
    auto source = std::make_unique<QtImageSource>(path, std::move(data));
    if (!source->scan())
        return nullptr;
    return source;
}

} // namespace tovi::detail
