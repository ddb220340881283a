// Every other image format through QImageReader: JPEG, PNG, WebP (animated too), BMP, TIFF…
// EXIF orientation is applied by the reader.

#include "media/image_scale.h"
#include "media/image_source_backends.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <vector>

namespace tovi::detail {
namespace {

class QtImageSource final : public ImageSource {
public:
    QtImageSource(QString path, QByteArray data)
        : m_path(std::move(path))
        , m_data(std::move(data)) {}

    // False when no reader handles the data.
    bool scan() {
        restart();
        if (!m_reader->canRead())
            return false;
        m_format = m_reader->format();
        m_size = m_reader->size();
        if (m_reader->transformation() & QImageIOHandler::TransformationRotate90)
            m_size.transpose();
        const int count = std::max(1, m_reader->imageCount());
        m_delays.assign(static_cast<size_t>(count), 0.1);
        if (count > 1) {
            // Frame durations are known only by walking the frames.
            for (int i = 0; i < count; ++i) {
                if (m_reader->read().isNull()) {
                    m_delays.resize(static_cast<size_t>(std::max(i, 1)));
                    break;
                }
                const int ms = m_reader->nextImageDelay();
                m_delays[i] = ms > 0 ? std::max(ms / 1000.0, 0.02) : 0.1;
            }
            restart();
        }
        return true;
    }

    Type type() const override { return Type::other; }
    int frameCount() const override { return static_cast<int>(m_delays.size()); }
    QSize size() const override { return m_size; }
    double delay(int index) const override {
        return index >= 0 && index < frameCount() ? m_delays[index] : 0.1;
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
        while (m_next <= index) {
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
