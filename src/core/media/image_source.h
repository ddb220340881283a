#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

#include "media/decode_budget.h"

namespace tovi {

// An opened still or animated image: GIF (giflib, composited here), HEIC/HEIF (libheif) or any
// format QImageReader knows (JPEG, PNG, WebP, animated WebP…). Frames come out upright, as
// Format_RGB32 when opaque and Format_ARGB32_Premultiplied otherwise.
// Not thread-safe: one instance per task. Sequential frame access is cheapest.
class ImageSource {
public:
    enum class Type { gif, heif, other };

    // Nothing when the file is not an image at all (the caller may then try it as a video).
    // Throws MediaError::unreadable when it is recognisably an image that cannot be decoded,
    // MediaError::oversized beyond the decode budget (canvas, frames or time, judged before
    // any picture is decoded), or PlatformError when the file cannot be read. Cheap: a damaged
    // frame past the first shows up as a null frame() later.
    static std::unique_ptr<ImageSource> open(const QString& path);
    static std::unique_ptr<ImageSource> fromData(const QByteArray& data);
    virtual ~ImageSource() = default;

    virtual Type type() const = 0;
    // At least 1 for every opened source.
    virtual int frameCount() const = 0;
    // The full, upright picture size before any bounding (for a GIF: the logical screen).
    virtual QSize size() const = 0;
    // Frame `index`, scaled down (never up) to at most `maxPixelSize` on its longer side.
    // Null when the index is out of range or the frame cannot be decoded. Reaching a late frame
    // decodes the ones before it: between them the stop request is asked (Cancelled) and the
    // budget's time is checked (MediaError::oversized).
    virtual QImage frame(int index, int maxPixelSize = 2000) = 0;
    // The display time the file gives frame `index`, in seconds, raised to at least 0.02 s;
    // 0.1 s when the file gives none.
    virtual double delay(int index) const = 0;

    // Asked between decoded frames from now on.
    void setStopRequest(StopRequest stop) { m_stop = std::move(stop); }

protected:
    const StopRequest& stopRequest() const { return m_stop; }

private:
    StopRequest m_stop;
};

} // namespace tovi
