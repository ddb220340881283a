#include "media_processor.h"

#include "media/image_scale.h"
#include "media/media_error.h"

#include <algorithm>
#include <cmath>

namespace tovi::MediaProcessor {

namespace {
constexpr int maxImagePixelSize = 2000;
constexpr double endMargin = 0.05; // stay a little before a video's end, where frames may lack
} // namespace

namespace {

MediaInfo inspected(const QUrl& url, bool videoFrame) {
    const QString path = url.toLocalFile();
    if (auto source = ImageSource::open(path)) {
        QImage first = frame(*source, 0);
        if (first.isNull())
            throw MediaError(MediaError::unreadable);
        const int count = source->frameCount();
        double duration = 0;
        if (count >= 2)
            for (int i = 0; i < count; ++i)
                duration += delay(*source, i);
        return MediaInfo{url, std::move(first), duration, count >= 2, false};
    }
    VideoSource video(path);
    const double duration = video.duration();
    if (!std::isfinite(duration) || duration <= 0)
        throw MediaError(MediaError::unreadable);
    QImage first = videoFrame ? video.frameAt(0, VideoSource::Accuracy::exact) : QImage();
    return MediaInfo{url, std::move(first), duration, true, true};
}

} // namespace

MediaInfo inspect(const QUrl& url) {
    return inspected(url, true);
}

MediaInfo describe(const QUrl& url) {
    return inspected(url, false);
}

QImage frame(ImageSource& source, int index) {
    return source.frame(index, maxImagePixelSize);
}

double delay(const ImageSource& source, int index) {
    return source.delay(index);
}

int gifIndex(const ImageSource& source, double time) {
    const int count = source.frameCount();
    double elapsed = 0;
    for (int i = 0; i < count; ++i) {
        elapsed += delay(source, i);
        if (elapsed > time)
            return i;
    }
    return std::max(count - 1, 0);
}

QImage videoFrame(VideoSource& video, const MediaInfo& media, double time,
                  VideoSource::Accuracy accuracy, const VideoSource::EarlyPicture& early) {
    double t = std::min(time, media.duration - endMargin);
    t = std::max(t, 0.0); // also turns NaN into 0
    return video.frameAt(t, accuracy, early);
}

QImage sourceFrame(const MediaInfo& media, double time, VideoSource::Accuracy accuracy) {
    if (media.video) {
        VideoSource video(media.url.toLocalFile());
        return videoFrame(video, media, time, accuracy);
    }
    if (media.animated) {
        try {
            if (auto source = ImageSource::open(media.url.toLocalFile())) {
                QImage image = frame(*source, gifIndex(*source, time));
                if (!image.isNull())
                    return image;
            }
        } catch (const ToviError&) {
            // The file changed or vanished since inspection: show what we have.
        }
    }
    return media.frame;
}

QRectF cropWindow(QSizeF frameSize, const CropSettings& settings) {
    const double w = frameSize.width();
    const double h = frameSize.height();
    const double zoom = settings.zoom >= CropSettings::minZoom
                            ? std::min(settings.zoom, CropSettings::maxZoom)
                            : CropSettings::minZoom;
    const auto position = [](double v) { return v >= -1 ? std::min(v, 1.0) : -1.0; };
    const double side = std::min(w, h) / zoom;
    const double originX = (position(settings.x) + 1) * (w - side) * 0.5;
    const double originY = (position(settings.y) + 1) * (h - side) * 0.5;
    return {originX, originY, side, side};
}

QImage crop(const QImage& image, const CropSettings& settings, int pixelSize) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 || pixelSize <= 0)
        throw MediaError(MediaError::encode);
    const QRectF window = cropWindow(QSizeF(image.size()), settings);
    QImage out = resampled(image, window, QSize(pixelSize, pixelSize), ScaleBackground::white);
    if (out.isNull())
        throw MediaError(MediaError::encode);
    return out;
}

} // namespace tovi::MediaProcessor
