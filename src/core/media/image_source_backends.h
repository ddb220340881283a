#pragma once

// The decoders behind ImageSource::open; each returns nothing when the data is not its format.

#include "media/image_source.h"

namespace tovi::detail {

// True for a HEIF/HEIC file that libheif can decode, judged from its first bytes.
bool isHeif(const QByteArray& head);

std::unique_ptr<ImageSource> openGif(QByteArray data);
std::unique_ptr<ImageSource> openHeif(QByteArray data);
// True for a PNG with an animation control chunk ahead of its image data.
bool isAnimatedPng(const QByteArray& data);
std::unique_ptr<ImageSource> openAnimatedPng(QByteArray data);
// `path` is used when not empty (lets the reader pick a handler by suffix); otherwise `data`.
std::unique_ptr<ImageSource> openWithQt(const QString& path, QByteArray data);

// Either premultiplied ARGB or, when every pixel is opaque, RGB32.
QImage normalisedFrame(QImage image);

} // namespace tovi::detail
