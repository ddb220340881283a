#include "fragment_sampler.h"

#include "app/product.h"
#include "media/caption_band.h"
#include "media/gif_timing.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/video_source.h"

#include <algorithm>
#include <cmath>

namespace tovi {
namespace {

using GifTiming::centiseconds;

} // namespace

FragmentPlan FragmentPlan::of(const MediaInfo& media, const ExportOptions& options) {
    FragmentPlan plan;
    plan.rate = std::clamp(options.fps, 1, Product::maxFps);
    plan.start = options.start >= 0 ? options.start : 0; // NaN counts as 0 too
    plan.order = options.order;
    plan.speed = std::isnan(options.speed) ? 1.0 : std::clamp(options.speed, 0.5, 2.0);
    const double longest = FragmentPlan::longest(plan.order);
    plan.length =
        std::min(media.duration - plan.start, options.length < longest ? options.length : longest);
    // Whole ticks of the output: a start at the very end (where delays that add up to a hair
    // more than the duration leave 1e-16 s) holds no frame.
    if (!(centiseconds(plan.length / plan.speed) >= 1) || !media.animated)
        throw MediaError(MediaError::empty);
    // A duration a hair over a whole frame (4.0000001 s) must not add an empty last frame.
    plan.count = std::max(1, static_cast<int>(std::ceil(plan.rate * plan.length - 1e-6)));
    const auto lastShown = [&plan] {
        return plan.delay(plan.order == PlaybackOrder::reverse ? 0 : plan.count - 1);
    };
    while (plan.count > 1 && lastShown() < 0.005)
        --plan.count;
    return plan;
}

double FragmentPlan::longest(PlaybackOrder order) {
    return order == PlaybackOrder::bounce ? Product::maxBounceSeconds : Product::maxSeconds;
}

int FragmentPlan::frames() const {
    return order == PlaybackOrder::bounce && count > 1 ? 2 * count - 2 : count;
}

int FragmentPlan::source(int frame) const {
    if (order == PlaybackOrder::reverse)
        return count - 1 - frame;
    return frame < count ? frame : 2 * count - 2 - frame;
}

// Seconds of the GIF before its frame `frame` (0 … frames()).
double FragmentPlan::played(int frame) const {
    double source = 0; // seconds of source shown before it
    if (order == PlaybackOrder::reverse)
        source = frame == 0 ? 0 : length - double(count - std::min(frame, count)) / rate;
    else if (frame < count)
        source = double(frame) / rate;
    else // the end of the last source frame, then the way back
        source = length + double(frame - count) / rate;
    return source / speed;
}

double FragmentPlan::delay(int frame) const {
    return double(centiseconds(played(frame + 1)) - centiseconds(played(frame))) / 100.0;
}

int FragmentPlan::indexOf(const FragmentPlan& other, int index) const {
    if (other.start != start || index < 0 || index >= other.count)
        return -1;
    const long long scaled = static_cast<long long>(index) * rate;
    if (scaled % other.rate != 0)
        return -1;
    const int found = int(scaled / other.rate);
    return found < count && time(found) == other.time(index) ? found : -1;
}

bool FragmentSampler::drawsAlike(const ExportOptions& a, const ExportOptions& b) {
    return a.crop == b.crop && a.captions == b.captions &&
           (!a.captions ||
            (a.captionTitle == b.captionTitle && a.captionSubtitle == b.captionSubtitle));
}

FragmentSampler::FragmentSampler(const MediaInfo& media, const ExportOptions& options,
                                 StopRequest stop)
    : FragmentSampler(media, options, std::move(stop), nullptr) {}

FragmentSampler::FragmentSampler(VideoSource& video, const MediaInfo& media,
                                 const ExportOptions& options, StopRequest stop)
    : FragmentSampler(media, options, std::move(stop), &video) {}

FragmentSampler::FragmentSampler(const MediaInfo& media, const ExportOptions& options,
                                 StopRequest stop, VideoSource* video)
    : m_plan(FragmentPlan::of(media, options))
    , m_options(options)
    , m_stop(std::move(stop)) {
    const StopRequest asked = [this] {
        m_clock.check({});
        return m_stop && m_stop();
    };
    if (media.video) {
        if (!video) {
            m_ownVideo = std::make_unique<VideoSource>(media.url.toLocalFile());
            video = m_ownVideo.get();
        }
        m_video = video;
        m_video->setStopRequest(asked);
        m_video->setSampling(m_plan.start, 1.0 / m_plan.rate);
        // Only the crop is ever needed: the source cuts it out before converting any colours.
        m_video->setCrop(options.crop, side);
        return;
    }
    try {
        m_image = ImageSource::open(media.url.toLocalFile());
    } catch (const ToviError&) {
    }
    if (!m_image)
        throw MediaError(MediaError::unreadable);
    m_image->setStopRequest(asked);
}

FragmentSampler::~FragmentSampler() {
    if (m_video && !m_ownVideo)
        m_video->setStopRequest({}); // it asks this sampler, which is going
}

QImage FragmentSampler::frame(int index) {
    const double time = m_plan.time(index);
    QImage picture;
    if (m_video) {
        picture = m_video->frameAt(time, VideoSource::Accuracy::exact);
    } else {
        // Kept for sourceFrame: an image reaches a frame again only from its first.
        m_source = MediaProcessor::frame(*m_image, MediaProcessor::gifIndex(*m_image, time));
        m_sourceIndex = index;
        if (m_source.isNull())
            throw MediaError(MediaError::unreadable);
        picture = MediaProcessor::crop(m_source, m_options.crop, side);
    }
    if (m_options.captions)
        CaptionBand::draw(picture, m_options.captionTitle, m_options.captionSubtitle);
    m_clock.check(m_stop);
    return picture;
}

QImage FragmentSampler::sourceFrame(int index) {
    const double time = m_plan.time(index);
    if (!m_video)
        return index == m_sourceIndex
                   ? m_source
                   : MediaProcessor::frame(*m_image, MediaProcessor::gifIndex(*m_image, time));
    m_video->clearCrop();
    QImage picture = m_video->frameAt(time, VideoSource::Accuracy::exact);
    m_video->setCrop(m_options.crop, side);
    return picture;
}

} // namespace tovi
