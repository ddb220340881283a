// The single graphic: JPEG, rotation GIF and sampled GIF. Every output frame goes through the
// one crop, the one caption renderer and the one GIF writer.

#include "app/product.h"
#include "media/caption_band.h"
#include "media/fragment_sampler.h"
#include "media/gif_writer.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/rotation_plan.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QPainter>
#include <cmath>
#include <vector>

namespace tovi::MediaProcessor {
namespace {

constexpr int outputSide = Product::screenSide;

void report(const ExportProgress& progress, int done, int total) {
    if (progress && !progress(done, total))
        throw Cancelled();
}

// The decoders' stop request while frame `done` is being decoded: the progress callback asked
// again with the same counts, at most every 50 ms.
class DecodingStop {
public:
    DecodingStop(const ExportProgress& progress, int total)
        : m_progress(progress)
        , m_total(total) {
        m_asked.start();
    }
    StopRequest request() {
        return [this] {
            if (!m_progress || !m_asked.hasExpired(50))
                return false;
            m_asked.restart();
            return !m_progress(m_done, m_total);
        };
    }
    // The progress the frames are counted by, which the decoders' requests repeat.
    ExportProgress counted() {
        return [this](int done, int total) {
            m_done = done;
            return !m_progress || m_progress(done, total);
        };
    }

private:
    const ExportProgress& m_progress;
    int m_total;
    int m_done = 0;
    QElapsedTimer m_asked;
};

// A cropped picture with the captions drawn when the options ask for them.
QImage captioned(QImage cropped, const ExportOptions& options) {
    if (options.captions)
        CaptionBand::draw(cropped, options.captionTitle, options.captionSubtitle);
    return cropped;
}

QByteArray checkedGif(QByteArray bytes) {
    if (bytes.size() > maxGifBytes)
        throw MediaError(MediaError::tooLarge);
    return bytes;
}

QByteArray jpeg(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    if (!writer.write(picture))
        throw MediaError(MediaError::encode);
    return bytes;
}

QByteArray sampledGif(const MediaInfo& media, const ExportOptions& options,
                      const ExportProgress& progress) {
    DecodingStop stop(progress, FragmentPlan::of(media, options).frames());
    FragmentSampler sampler(media, options, stop.request());
    return fragmentGif(
        sampler.plan(), [&sampler](int index) { return sampler.frame(index); }, stop.counted());
}

QByteArray turningGif(const QImage& image, const ExportOptions& options,
                      const ExportProgress& progress) {
    const RotationPlan plan = RotationPlan::of(options);
    GifWriter writer(QSize(outputSide, outputSide));
    report(progress, 0, plan.count);
    for (int i = 0; i < plan.count; ++i) {
        QImage frame(outputSide, outputSide, QImage::Format_RGB32);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        if (!painter.isActive())
            throw MediaError(MediaError::encode);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.translate(outputSide / 2.0, outputSide / 2.0);
        painter.rotate(plan.degrees(i)); // the y axis points down here
        painter.drawImage(QRectF(-outputSide / 2.0, -outputSide / 2.0, outputSide, outputSide),
                          image);
        painter.end();
        writer.add(frame, plan.delay(i));
        report(progress, i + 1, plan.count);
    }
    return writer.finish();
}

} // namespace

QImage rendered(const QImage& source, const ExportOptions& options, int pixelSize) {
    return captioned(crop(source, options.crop, pixelSize), options);
}

QByteArray fragmentGif(const FragmentPlan& plan, const FragmentFrames& frame,
                       const ExportProgress& progress) {
    const int frames = plan.frames();
    GifWriter writer(QSize(outputSide, outputSide), GifClip{maxGifBytes, frames});
    report(progress, 0, frames);
    // Each source frame is asked for once, in increasing order, and held until its last showing:
    // backwards, the whole fragment waits for the first frame the GIF shows.
    std::vector<QImage> held(size_t(plan.count));
    std::vector<int> lastShown(size_t(plan.count), -1);
    for (int i = 0; i < frames; ++i)
        lastShown[size_t(plan.source(i))] = i;
    int next = 0; // the next source frame to ask for
    for (int i = 0; i < frames; ++i) {
        const int source = plan.source(i);
        for (; next <= source; ++next)
            held[size_t(next)] = frame(next);
        writer.add(held[size_t(source)], plan.delay(i));
        if (lastShown[size_t(source)] == i)
            held[size_t(source)] = QImage();
        report(progress, i + 1, frames);
    }
    return writer.finish();
}

QByteArray rotationGIF(const QImage& image, const ExportOptions& options,
                       const ExportProgress& progress) {
    return checkedGif(turningGif(image, options, progress));
}

QByteArray exportMedia(const QUrl& url, const ExportOptions& options,
                       const ExportProgress& progress) {
    return exportMedia(inspect(url), options, progress);
}

QByteArray exportMedia(const MediaInfo& media, const ExportOptions& options,
                       const ExportProgress& progress) {
    return checkedExport(encoded(media, options, progress), options);
}

QByteArray checkedExport(QByteArray bytes, const ExportOptions& options) {
    return options.format == OutputFormat::gif ? checkedGif(std::move(bytes)) : bytes;
}

QByteArray encoded(const MediaInfo& media, const ExportOptions& options,
                   const ExportProgress& progress) {
    if (options.format == OutputFormat::jpg)
        return jpeg(rendered(sourceFrame(media, options.start, VideoSource::Accuracy::exact),
                             options, outputSide));
    if (options.rotation) {
        const QImage first = sourceFrame(media, options.start, VideoSource::Accuracy::exact);
        return turningGif(rendered(first, options, outputSide), options, progress);
    }
    return sampledGif(media, options, progress);
}

} // namespace tovi::MediaProcessor
