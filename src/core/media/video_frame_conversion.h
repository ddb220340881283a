#pragma once

// Decoded video frames to opaque RGB32 pictures, with each frame's own colour matrix and range:
// whole, fitted within a side by libswscale (its converters kept while the frames keep their
// size, format and colours), or a square crop scaled straight from the decoded planes. One
// instance is used by one thread at a time.

#include "media/c_handles.h"
#include "media/media_types.h"
#include "media/video_bitstream.h"

#include <QImage>
#include <QSize>
#include <cstdint>

namespace tovi::video {

class FrameConverter {
public:
    // The frame fitted within `side` × `side` (never enlarged), its pixels shown `sar` wide and
    // turned by `orientation`. Early pictures are smaller: they keep a converter of their own,
    // so neither size rebuilds the other's.
    QImage whole(const AVFrame* frame, AVRational sar, Orientation orientation, int side,
                 bool early);
    // The crop straight from the window of the decoded planes, by libswscale's Lanczos filter:
    // the picture FFmpeg's own crop and scale make of that window, to the level (the reference
    // of the export's quality measure), without converting a whole large picture first. Null
    // when the frame does not suit (turned, non-square pixels, alpha, RGB, deeper than 8 bits,
    // chroma subsampled more than twofold, or enlarged by the crop): the caller then crops the
    // whole picture.
    QImage cropped(const AVFrame* frame, AVRational sar, Orientation orientation,
                   const CropSettings& crop, int side);

private:
    struct Key {
        int width, height, format, outWidth, outHeight, colorspace, fullRange;
        bool operator==(const Key&) const = default;
    };
    SwsContext* converter(SwsContextPtr& context, Key& current, const AVFrame* frame, QSize to);

    SwsContextPtr m_scaler, m_earlyScaler, m_cropScaler, m_cropColours;
    Key m_key{}, m_earlyKey{}, m_cropKey{};
};

} // namespace tovi::video
