#pragma once

// What a video file tells without decoding it: its container opened for the video, which of its
// packets no later frame is predicted from (read from the H.264 and HEVC slice headers), how its
// pictures are turned (the display matrix), and which of a container's streams is the video.

#include "media/c_handles.h"

#include <QImage>

namespace tovi::video {

// True when no later frame is predicted from the packet's picture, so that the decoder need not
// see it at all: in H.264 every slice has nal_ref_idc 0; in HEVC every slice is of a sub-layer
// non-reference type, on the top temporal layer (a lower layer's may serve a higher one).
bool disposable(const AVCodecParameters* codec, const AVPacket* packet);

// The display matrix reduced to a signed permutation (quarter turns and mirrors; other angles
// are not seen in practice). Maps decoded to displayed pixels, rows as in QTransform.
struct Orientation {
    int m11 = 1, m12 = 0, m21 = 0, m22 = 1;

    bool isIdentity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1; }
};

Orientation orientationOf(const AVStream* stream);
QImage applyOrientation(QImage image, Orientation o);

// The largest real video stream, the default one first; cover art is a video stream too.
// Sets `decoder` to its decoder.
AVStream* bestVideoStream(AVFormatContext* format, const AVCodec** decoder);

// A local file's container, `stream` set to its video stream and `decoder` to that stream's
// decoder; every other stream is discarded. Throws MediaError::unreadable.
FormatContextPtr openVideoFile(const QString& path, AVStream*& stream, const AVCodec*& decoder);
// The duration the stream or, failing that, the container states, in seconds; 0 when none.
double statedSeconds(const AVFormatContext* format, const AVStream* stream);

} // namespace tovi::video
