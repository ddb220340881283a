#pragma once

#include "app/tovi_error.h"
#include "media/image_source.h"
#include "media/media_types.h"
#include "media/video_source.h"

#include <QRectF>
#include <exception>
#include <functional>

// The stateless media operations. Each call opens and releases its own decoders; every function
// is pure and may run on any thread (heavy ones never on the interface thread).
namespace tovi {
struct FragmentPlan;
}

namespace tovi::MediaProcessor {

// Describes a file: still image, animated image or video. Throws MediaError::unreadable for
// anything that is neither a decodable image nor a video with a positive duration and a first
// frame; PlatformError when the file cannot be opened at all.
MediaInfo inspect(const QUrl& url);

// What inspect tells without decoding a video's first frame, which then stays null: enough to
// choose export options, at the cost of opening the container. Images are inspected in full.
MediaInfo describe(const QUrl& url);

// Frame `index` of an opened image, upright, at most 2000 px on its longer side; null when it
// does not decode.
QImage frame(ImageSource& source, int index);

// Display time of frame `index` in seconds: the file's own, raised to at least 0.02 s; 0.1 s
// when the file gives none.
double delay(const ImageSource& source, int index);

// The frame showing `time` seconds after the animation starts: the first whose accumulated
// delay exceeds `time`; the last one past the end.
int gifIndex(const ImageSource& source, double time);

// The frame of `media` at `time`. Videos clamp the time to [0, duration − 0.05]; tolerant
// accuracy takes the nearest key frame (previews), exact the frame on screen (exports).
// An animated image that fails to decode gives its first frame; a still always does.
// Throws MediaError::unreadable when a video frame cannot be decoded.
QImage sourceFrame(const MediaInfo& media, double time,
                   VideoSource::Accuracy accuracy = VideoSource::Accuracy::tolerant);
// The same from a video already open: an exact frame hands `early` the key frame it starts
// from when it has to seek (VideoSource::frameAt).
QImage videoFrame(VideoSource& video, const MediaInfo& media, double time,
                  VideoSource::Accuracy accuracy, const VideoSource::EarlyPicture& early = {});

// The crop geometry: the square window of a `frameSize` picture that `settings` selects,
// with zoom clamped to 1…3 and x, y to −1…+1 (NaN counts as 1 and −1).
QRectF cropWindow(QSizeF frameSize, const CropSettings& settings);

// The window of `image` scaled to an opaque pixelSize × pixelSize Format_RGB32 picture;
// transparent parts come out white. Throws MediaError::encode for an empty image or size.
// Cheap enough for the interface thread at 600 px.
QImage crop(const QImage& image, const CropSettings& settings, int pixelSize);

// The picture as the device will show it, at pixelSize: `source` cropped by options.crop, with
// the captions drawn when options.captions is set. Exports use it at 240, previews at 600.
QImage rendered(const QImage& source, const ExportOptions& options, int pixelSize);

// The largest GIF the device is given.
inline constexpr qsizetype maxGifBytes = 2 * 1024 * 1024;

// Reports frames done out of the total; returning false stops the work, which then throws
// Cancelled. Called on the working thread after each frame, and again with the same counts
// every 50 ms or so while a frame's source is being decoded, so a stop never waits long.
using ExportProgress = std::function<bool(int done, int total)>;

// A looping GIF in which the 240 × 240 `image` makes one full turn: frame count and timing from
// options.fps and options.rotationSeconds, direction from options.clockwise, black corners.
// Throws MediaError::encode or MediaError::tooLarge (over 2 MiB).
QByteArray rotationGIF(const QImage& image, const ExportOptions& options,
                       const ExportProgress& progress = {});

// The bytes of the single graphic: a JPEG still (quality 95), a rotation GIF, or a GIF sampled
// from the fragment options.start … +length (at most 8 s, 12 fps, 2 MiB), every frame cropped
// to 240 × 240 and captioned when asked, played as options.order and options.speed say
// (FragmentPlan). The source is decoded once, in order. Throws what
// inspect throws, MediaError::empty, ::unreadable, ::encode, ::tooLarge, or Cancelled.
// Synchronous and slow: never on the interface thread.
QByteArray exportMedia(const QUrl& url, const ExportOptions& options,
                       const ExportProgress& progress = {});

// The same for media already inspected (or described): the file is not inspected again.
QByteArray exportMedia(const MediaInfo& media, const ExportOptions& options,
                       const ExportProgress& progress = {});
// The source frames of a sampled fragment, FragmentSampler's pictures: frame(k) is asked for
// k = 0 … plan.count − 1, each once and in that order.
using FragmentFrames = std::function<QImage(int index)>;
// The GIF that encoded(media, options) gives for plan = FragmentPlan::of(media, options), from
// its source frames however they were had: decoded on the way or at hand from the preview. Over
// 2 MiB included. Throws MediaError::encode, Cancelled, and what `frame` throws.
QByteArray fragmentGif(const FragmentPlan& plan, const FragmentFrames& frame,
                       const ExportProgress& progress = {});
// `bytes` of encoded(…, options) as exportMedia gives them: a GIF over 2 MiB throws
// MediaError::tooLarge.
QByteArray checkedExport(QByteArray bytes, const ExportOptions& options);
// What exportMedia would give, a GIF over 2 MiB included (never MediaError::tooLarge): its
// size tells how far it is from fitting.
QByteArray encoded(const MediaInfo& media, const ExportOptions& options,
                   const ExportProgress& progress = {});

} // namespace tovi::MediaProcessor
