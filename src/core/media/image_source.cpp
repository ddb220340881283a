#include "image_source.h"

#include "app/platform_error.h"
#include "media/decode_budget.h"
#include "media/image_source_backends.h"
#include "media/media_error.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace tovi {
namespace {

// Files that are images by their first bytes must never be handed to the video decoder, which
// would happily call a broken JPEG a one-frame film.
bool hasImageSignature(const QByteArray& head) {
    return head.startsWith("GIF8") || head.startsWith("\x89PNG") ||
           head.startsWith("\xFF\xD8\xFF") ||
           (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") || head.startsWith("BM") ||
           head.startsWith("II*") || head.startsWith(QByteArray("MM\0*", 4)) ||
           (head.mid(4, 4) == "ftyp" &&
            QByteArrayList{"heic", "heix", "heif", "mif1", "msf1", "hevc", "avif"}.contains(
                head.mid(8, 4)));
}

// Video containers, told by their first bytes: no image reader of Qt's takes them, and asking
// would load every image plugin first (several milliseconds before each video opens).
bool hasVideoSignature(const QByteArray& head) {
    return (head.mid(4, 4) == "ftyp" && !hasImageSignature(head.left(16))) ||
           head.startsWith("\x1A\x45\xDF\xA3") ||                   // Matroska, WebM
           (head.startsWith("RIFF") && head.mid(8, 4) == "AVI ") || // AVI
           head.startsWith(QByteArray("\0\0\x01\xBA", 4)) ||        // MPEG program stream
           head.startsWith("OggS") || head.startsWith("FLV\x01") ||
           head.startsWith("\x30\x26\xB2\x75\x8E\x66\xCF\x11"); // ASF, WMV
}

std::unique_ptr<ImageSource> openData(const QString& path, const QByteArray& data) {
    std::unique_ptr<ImageSource> source;
    if (data.startsWith("GIF8")) {
        source = detail::openGif(data);
    } else if (detail::isHeif(data)) {
        source = detail::openHeif(data);
    } else {
        if (detail::isAnimatedPng(data))
            source = detail::openAnimatedPng(data);
        // A still PNG, or an APNG FFmpeg cannot read: its first frame then. Not a video.
        if (!source && !hasVideoSignature(data))
            source = detail::openWithQt(path, data);
    }
    if (!source && hasImageSignature(data.left(16)))
        throw MediaError(MediaError::unreadable);
    return source;
}

} // namespace

std::unique_ptr<ImageSource> ImageSource::open(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // QFile keeps no errno; what the path is tells the likely cause.
        const QFileInfo info(path);
        throw PlatformError::fromErrno(info.isDir()    ? EISDIR
                                       : info.exists() ? EACCES
                                                       : ENOENT,
                                       path);
    }
    const QByteArray head = file.peek(64);
    // GIF, HEIF and animated PNG are decoded from memory; everything else streams from the file.
    // (An animated PNG announces itself before its image data, near the start.)
    if (head.startsWith("GIF8") || detail::isHeif(head) ||
        detail::isAnimatedPng(file.peek(256 * 1024))) {
        if (file.size() > DecodeBudget::maxFileBytes)
            throw MediaError(MediaError::oversized);
        return openData({}, file.readAll());
    }
    file.close();
    return openData(path, head);
}

std::unique_ptr<ImageSource> ImageSource::fromData(const QByteArray& data) {
    return openData({}, data);
}

namespace detail {

QImage normalisedFrame(QImage image) {
    if (image.isNull())
        return image;
    if (!image.hasAlphaChannel())
        return image.format() == QImage::Format_RGB32 ? image
                                                      : image.convertToFormat(QImage::Format_RGB32);
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return image;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace detail
} // namespace tovi
