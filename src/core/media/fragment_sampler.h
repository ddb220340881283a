#pragma once

#include "app/product.h"
#include "media/decode_budget.h"
#include "media/media_types.h"

#include <QImage>
#include <memory>

namespace tovi {

class ImageSource;
class VideoSource;

// Which frames a GIF sampled from a fragment of animated media holds, and how long each shows:
// source frame k is the source at start + k / rate; the GIF shows them in the options' order
// (forwards, backwards, or forwards and back without repeating either end), each for its share
// of the source divided by the speed, in the whole centiseconds the GIF carries, rounded on the
// GIF's running time. A last source frame that would show for no whole centisecond is left out.
struct FragmentPlan {
    int rate = Product::maxFps; // frames per second: the options' fps clamped to 1 … 12
    double start = 0;           // seconds into the source
    double length = 0;          // seconds of source, at most 8 (4 forwards and back)
    int count = 0;              // source frames, at most 96 (48 forwards and back)
    PlaybackOrder order = PlaybackOrder::normal;
    double speed = 1; // the options' speed clamped to 0.5 … 2

    // Throws MediaError::empty for a still, or for a fragment that holds no frame (a start at
    // or past the end).
    static FragmentPlan of(const MediaInfo& media, const ExportOptions& options);
    // The longest fragment an order takes, in seconds of source.
    static double longest(PlaybackOrder order);

    // When source frame `index` is, in seconds into the source.
    double time(int index) const { return start + double(index) / rate; }
    // The frames of the GIF, at most 96: count, or 2 × count − 2 forwards and back.
    int frames() const;
    // The source frame the GIF's frame `frame` shows.
    int source(int frame) const;
    // How long the GIF's frame `frame` shows, in seconds (whole centiseconds).
    double delay(int frame) const;
    // This plan's source frame sampled at the very time of `other`'s source frame `index` (the
    // same start and the same double from index / rate), or -1 when it has none there: a
    // shorter length takes the first frames, a rate that divides this one every so many.
    int indexOf(const FragmentPlan& other, int index) const;

    bool operator==(const FragmentPlan&) const = default;

private:
    double played(int frame) const;
};

// The frames of a sampled GIF as the device shows them: 240 × 240, opaque, cropped and captioned
// as the options say. The export encodes these frames and the playing preview shows them; there
// is no other way of choosing a fragment's frames. The whole fragment is one request of the
// decode budget. One thread uses an instance at a time; frames in increasing order cost least.
class FragmentSampler {
public:
    static constexpr int side = Product::screenSide;

    // Opens the media's decoder. Throws FragmentPlan::of's errors, MediaError::unreadable for an
    // image that no longer opens, and what VideoSource's constructor throws. `stop` is asked
    // between decoded pictures; true makes frame() throw Cancelled.
    FragmentSampler(const MediaInfo& media, const ExportOptions& options, StopRequest stop = {});
    // The same for a video, on a decoder already open on its file and kept between fragments
    // (where it stands, a new fragment may continue without seeking). It takes the fragment's
    // crop, sampling and stop request, and has no stop request again once the sampler is gone.
    FragmentSampler(VideoSource& video, const MediaInfo& media, const ExportOptions& options,
                    StopRequest stop = {});
    ~FragmentSampler();
    FragmentSampler(const FragmentSampler&) = delete;
    FragmentSampler& operator=(const FragmentSampler&) = delete;

    const FragmentPlan& plan() const { return m_plan; }
    // Whether two sets of options draw a source frame alike: the same crop and captions.
    static bool drawsAlike(const ExportOptions& a, const ExportOptions& b);

    // Source frame `index` (0 ≤ index < plan().count). Throws MediaError::unreadable when it does
    // not decode, MediaError::oversized past the budget, Cancelled when the stop request says so.
    QImage frame(int index);
    // The picture frame(index) is cut from, whole: upright and bounded as
    // MediaProcessor::sourceFrame's. Costs a conversion, not a decode, right after frame(index).
    QImage sourceFrame(int index);

private:
    FragmentSampler(const MediaInfo& media, const ExportOptions& options, StopRequest stop,
                    VideoSource* video);

    FragmentPlan m_plan;
    ExportOptions m_options;
    StopRequest m_stop;
    DecodeClock m_clock;
    std::unique_ptr<VideoSource> m_ownVideo;
    VideoSource* m_video = nullptr;
    std::unique_ptr<ImageSource> m_image;
    QImage m_source; // an image's picture of frame m_sourceIndex, whole
    int m_sourceIndex = -1;
};

} // namespace tovi
