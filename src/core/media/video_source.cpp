#include "video_source.h"

#include "media/media_error.h"

namespace tovi {

struct VideoSource::State {};

VideoSource::VideoSource(const QString&) { throw MediaError(MediaError::unreadable); }
VideoSource::~VideoSource() = default;
VideoSource::VideoSource(VideoSource&&) noexcept = default;
VideoSource& VideoSource::operator=(VideoSource&&) noexcept = default;
double VideoSource::duration() const { return 0; }
QImage VideoSource::frameAt(double, Accuracy) { throw MediaError(MediaError::unreadable); }

} // namespace tovi
