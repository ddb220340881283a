#include "video_source.h"

#include "media/decode_budget.h"
#include "media/image_scale.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/video_bitstream.h"
#include "media/video_frame_conversion.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace tovi {

using video::Orientation;

namespace {

constexpr int maxSide = 1600;
// Pictures on the way to an exact frame show for a moment, until it comes: smaller is sooner.
constexpr int earlySide = 800;
// Decoder errors in a row after which the rest of the stream is given up as broken.
constexpr int maxDecodeErrors = 64;
// A key frame this near ahead is decoded up to rather than sought (canContinueTo), in seconds.
constexpr double nearKey = 0.15;
// Seeks that may step back when the frame at the target lies before the key frame landed on.
constexpr int maxSeekAttempts = 6;

[[noreturn]] void unreadable() {
    throw MediaError(MediaError::unreadable);
}

} // namespace

struct VideoSource::State {
    FormatContextPtr format;
    const AVCodec* decoder = nullptr;
    CodecContextPtr codec;
    AVStream* stream = nullptr;
    double seconds = 0;
    double timeBase = 0;
    int64_t start = 0;
    Orientation orientation;

    PacketPtr packet{av_packet_alloc()};
    // `held` is the last decoded frame at or before the previous target, `pending` the frame
    // decoded after it; together they let increasing targets continue without a seek.
    FramePtr held{av_frame_alloc()};
    FramePtr pending{av_frame_alloc()};
    bool hasHeld = false, hasPending = false;
    int64_t heldPts = 0, pendingPts = 0;

    bool positioned = false; // the decoder continues from where the demuxer stands
    bool fresh = true;       // nothing read since opening
    bool draining = false;   // the end of the packets was sent to the decoder
    bool finished = false;   // the decoder has given its last frame
    bool awaitingLanding = false;
    bool skippingToKey = false;          // a seek may land between key frames
    int64_t landingPts = AV_NOPTS_VALUE; // first packet read after the last seek

    // Only an index the file brought along lists key frames; some demuxers fill one while
    // seeking with every packet marked as key.
    bool indexed = false;
    // Index timestamps may be decode times: this is a key frame's presentation time minus its
    // index timestamp, learned from key packets as they are read.
    int64_t keyShift = 0;
    std::optional<int64_t> firstKey;
    // The times an export will ask for, in order (setSampling): frames shown at none of them
    // are dropped by the decoder when no other frame is predicted from them.
    struct Sampling {
        double start;
        double step;
    };
    std::optional<Sampling> sampling;
    int64_t lastTarget = AV_NOPTS_VALUE;
    // An export shrinks its crop to a small picture. When the crop's window is at least three times
    // the picture's side, the edges that deblocking smooths are under a pixel wide there: skipping
    // it on frames that no other frame is predicted from changes the picture by a level or two,
    // for a good share of their decoding. Frames that others are predicted from stay exact.
    // Set by setCrop alone, whatever follows, so that a decoder kept between fragments makes the
    // pictures one just opened makes; no crop, no skipping.
    bool thinEdges = false;
    bool unseen(const AVPacket* next) const;
    bool onSchedule(int64_t target) const;

    video::FrameConverter converter;
    // setCrop: frames come out as this crop.
    std::optional<std::pair<CropSettings, int>> crop;
    // The last converted frame; export often asks several times for one source frame.
    QImage image;
    int64_t imagePts = AV_NOPTS_VALUE;
    uint64_t imageGeneration = 0, generation = 1;

    // The budget of the request under way (frameAt): its clock, frames decoded so far, and the
    // caller's stop request.
    DecodeClock clock;
    int requestFrames = 0;
    StopRequest stop;
    // No packet carries a timestamp: frames are numbered from the start at the frame rate.
    bool untimed = false;
    int64_t untimedStep = 1;

    State(const QString& path, int decoderThreads);
    void open(const QString& path);
    double scannedSeconds();
    int64_t toStreamTime(double seconds) const;
    int64_t framePts(const AVFrame* frame) const;

    std::optional<int64_t> keyAtOrBefore(int64_t pts);
    std::optional<int64_t> keyAfter(int64_t pts);
    void learnKeyShift(const AVPacket* packet);

    void seek(int64_t pts);
    bool receive(AVFrame* frame);
    void advanceTo(int64_t target, bool oneFrame = false);
    void showOnTheWay(int64_t target);
    // The request's taker of frames on the way (exactFrame), and when it last took one.
    const EarlyPicture* early = nullptr;
    bool earlyShown = false;
    QElapsedTimer earlyClock;
    bool canContinueTo(int64_t target);
    QImage whole(AVFrame* frame, int side = maxSide);
    void seekBefore(int64_t target, bool oneFrame);
    std::optional<int64_t> earlierSeekPoint(int64_t from, int attempt);

    QImage exactFrame(int64_t target, const EarlyPicture& shown);
    QImage keyFrame(int64_t target);
    QImage convert(AVFrame* frame, int64_t pts);
};

// Opens the container and picks the video stream; the duration is read, not yet checked.
void VideoSource::State::open(const QString& path) {
    format.reset();
    format = video::openVideoFile(path, stream, decoder);
    DecodeBudget::require(stream->codecpar->width, stream->codecpar->height);
    timeBase = av_q2d(stream->time_base);
    start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    seconds = video::statedSeconds(format.get(), stream);
}

// The duration of a stream that states none (a raw stream, a Matroska file written to a pipe),
// from the timestamps of all its packets: no frame is decoded. Leaves the demuxer at the end.
double VideoSource::State::scannedSeconds() {
    int64_t first = AV_NOPTS_VALUE, end = AV_NOPTS_VALUE, packets = 0;
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream->index) {
            if (++packets % 256 == 0)
                clock.check(stop);
            const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (time != AV_NOPTS_VALUE) {
                first = first == AV_NOPTS_VALUE ? time : std::min(first, time);
                end = std::max(end, time + std::max<int64_t>(packet->duration, 0));
            }
        }
        av_packet_unref(packet.get());
    }
    if (first != AV_NOPTS_VALUE && end > first)
        return double(end - std::min(first, start)) * timeBase;
    // No timestamps at all (a raw stream): count the packets at the stated frame rate.
    const AVRational rate =
        stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    untimed = true;
    untimedStep = std::max<int64_t>(1, av_rescale_q(1, av_inv_q(rate), stream->time_base));
    return double(packets) / av_q2d(rate);
}

VideoSource::State::State(const QString& path, int decoderThreads) {
    if (!packet || !held || !pending)
        throw std::bad_alloc();
    open(path);
    if (!(seconds > 0) && timeBase > 0) {
        const double scanned = scannedSeconds();
        const bool wasUntimed = untimed;
        const int64_t step = untimedStep;
        open(path); // a raw stream cannot always seek back: start over
        seconds = scanned;
        untimed = wasUntimed;
        untimedStep = step;
    }
    if (!std::isfinite(seconds) || seconds <= 0 || !(timeBase > 0))
        unreadable();
    orientation = video::orientationOf(stream);

    // The first key frame comes first in both orders, so its presentation time is the start.
    if (const int first = av_index_search_timestamp(stream, std::numeric_limits<int64_t>::min(), 0);
        first >= 0) {
        indexed = true;
        const int64_t timestamp = avformat_index_get_entry(stream, first)->timestamp;
        if (stream->start_time != AV_NOPTS_VALUE)
            keyShift = stream->start_time - timestamp;
        firstKey = timestamp + keyShift;
    }

    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec)
        throw std::bad_alloc();
    codec->max_pixels = DecodeBudget::maxPixels;
    if (avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        unreadable();
    codec->pkt_timebase = stream->time_base;
    // Frame threads roughly halve decoding a group of pictures on two cores and cost a single
    // key frame nothing measurable; slices serve codecs without frame threads.
    codec->thread_count = std::clamp(decoderThreads, 1, 16);
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        unreadable();
}

int64_t VideoSource::State::toStreamTime(double t) const {
    if (!(t > 0)) // also NaN
        t = 0;
    t = std::min(t, seconds);
    return start + std::llround(t * stream->time_base.den / stream->time_base.num);
}

bool VideoSource::State::unseen(const AVPacket* next) const {
    if (next->pts == AV_NOPTS_VALUE || next->duration <= 0)
        return false;
    // Without a schedule only the target of the request under way is shown: a frame that
    // ends at or before it is not. Frames after it stay, so that a later target continues.
    if (!sampling)
        return lastTarget != AV_NOPTS_VALUE && next->pts + next->duration <= lastTarget;
    // exactFrame shows this frame for the targets from its pts up to the next frame's, and a
    // target is a time rounded to whole ticks: in unrounded ticks from the start, [from, to).
    // A sampling time on the next frame's first tick is that frame's, not this one's.
    const double from = double(next->pts - start) - 0.5;
    const double to = double(next->pts + next->duration - start) - 0.5;
    const double slack = 1e-6 * std::max(1.0, std::abs(to)); // rounding noise, far below a tick
    double k = std::max(0.0, std::ceil((from * timeBase - sampling->start) / sampling->step) - 1);
    for (int i = 0; i < 4; ++i, ++k) {
        const double t = std::clamp(sampling->start + k * sampling->step, 0.0, seconds);
        const double ticks = t / timeBase;
        if (ticks >= to + slack)
            return true;
        if (ticks >= from - slack)
            return false;
    }
    return false;
}

bool VideoSource::State::onSchedule(int64_t target) const {
    if (lastTarget != AV_NOPTS_VALUE && target < lastTarget)
        return false;
    const double t = double(target - start) * timeBase;
    const double k = std::round((t - sampling->start) / sampling->step);
    return k >= 0 && std::abs(sampling->start + k * sampling->step - t) <= 0.0005 + timeBase;
}

int64_t VideoSource::State::framePts(const AVFrame* frame) const {
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        return frame->best_effort_timestamp;
    // A stream without timestamps is timed by its frame rate from the start, where every seek
    // of such a stream goes; otherwise a frame counts as following its predecessor at once.
    if (untimed)
        return hasHeld ? heldPts + untimedStep : start;
    return hasHeld ? heldPts : start;
}

std::optional<int64_t> VideoSource::State::keyAtOrBefore(int64_t pts) {
    if (!indexed)
        return std::nullopt;
    const int i = av_index_search_timestamp(stream, pts - keyShift, AVSEEK_FLAG_BACKWARD);
    if (i < 0)
        return std::nullopt;
    return avformat_index_get_entry(stream, i)->timestamp + keyShift;
}

std::optional<int64_t> VideoSource::State::keyAfter(int64_t pts) {
    if (!indexed)
        return std::nullopt;
    const int i = av_index_search_timestamp(stream, pts - keyShift + 1, 0);
    if (i < 0)
        return std::nullopt;
    return avformat_index_get_entry(stream, i)->timestamp + keyShift;
}

void VideoSource::State::learnKeyShift(const AVPacket* p) {
    if (!indexed || !(p->flags & AV_PKT_FLAG_KEY) || p->pts == AV_NOPTS_VALUE || p->pos < 0)
        return;
    const int64_t ts = p->dts != AV_NOPTS_VALUE ? p->dts : p->pts;
    const int i = av_index_search_timestamp(stream, ts, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    if (i < 0)
        return;
    const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
    if (entry->pos == p->pos)
        keyShift = p->pts - entry->timestamp;
}

void VideoSource::State::seek(int64_t pts) {
    const int index = stream->index;
    if (untimed) {
        if (av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BYTE) < 0)
            unreadable();
    } else if (av_seek_frame(format.get(), index, pts, AVSEEK_FLAG_BACKWARD) < 0 &&
               (pts == start ||
                av_seek_frame(format.get(), index, start, AVSEEK_FLAG_BACKWARD) < 0))
        unreadable();
    avcodec_flush_buffers(codec.get());
    hasHeld = hasPending = false;
    draining = finished = false;
    positioned = true;
    fresh = false;
    awaitingLanding = true;
    skippingToKey = pts >= start;
    landingPts = AV_NOPTS_VALUE;
    ++generation;
}

// Decodes the next frame in presentation order; false at the end of the stream. Packets the
// decoder rejects are skipped.
bool VideoSource::State::receive(AVFrame* frame) {
    int errors = 0; // in a row, without the decoder asking for more input
    while (!finished) {
        const int received = avcodec_receive_frame(codec.get(), frame);
        if (received >= 0) {
            DecodeBudget::requireFrames(++requestFrames);
            return true;
        }
        if (received == AVERROR_EOF) {
            finished = true;
            break;
        }
        if (received != AVERROR(EAGAIN)) {
            finished = ++errors > maxDecodeErrors;
            continue;
        }
        errors = 0;
        if (draining) { // cannot happen once drained; never wait for input that will not come
            finished = true;
            break;
        }
        while (true) {
            clock.check(stop);
            if (av_read_frame(format.get(), packet.get()) < 0) {
                avcodec_send_packet(codec.get(), nullptr);
                draining = true;
                break;
            }
            fresh = false;
            if (packet->stream_index == stream->index) {
                if (awaitingLanding) {
                    landingPts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
                    awaitingLanding = false;
                }
                // Frames predicted from what was never decoded would come out grey or broken.
                skippingToKey = skippingToKey && !(packet->flags & AV_PKT_FLAG_KEY);
                if (skippingToKey) {
                    av_packet_unref(packet.get());
                    continue;
                }
                learnKeyShift(packet.get());
                const bool hidden = unseen(packet.get());
                // Left out before it reaches the decoder: dropped inside it, such a frame would
                // still hold up one of its threads.
                if (hidden && video::disposable(stream->codecpar, packet.get())) {
                    av_packet_unref(packet.get());
                    continue;
                }
                codec->skip_frame = hidden ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
                codec->skip_loop_filter = thinEdges ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
                avcodec_send_packet(codec.get(), packet.get()); // a rejected packet is skipped
                av_packet_unref(packet.get());
                break;
            }
            av_packet_unref(packet.get());
        }
    }
    return false;
}

void VideoSource::State::advanceTo(int64_t target, bool oneFrame) {
    while (true) {
        if (hasPending) {
            if (pendingPts > target)
                return;
            std::swap(held, pending);
            hasHeld = true;
            hasPending = false;
            heldPts = pendingPts;
            if (oneFrame)
                return;
            showOnTheWay(target);
        }
        if (!receive(pending.get()))
            return;
        pendingPts = framePts(pending.get());
        hasPending = true;
    }
}

// The frames an exact request passes on its way to the target, for a caller that shows them:
// the first at once, then one every 100 ms. A frame that may be the target's is not one.
void VideoSource::State::showOnTheWay(int64_t target) {
    if (!early || !*early || held->pkt_duration <= 0 || heldPts + held->pkt_duration > target ||
        (earlyShown && !earlyClock.hasExpired(100)))
        return;
    (*early)(crop ? convert(held.get(), heldPts) : whole(held.get(), earlySide));
    earlyShown = true;
    earlyClock.restart();
}

bool VideoSource::State::canContinueTo(int64_t target) {
    if (!positioned || !hasHeld || target < heldPts)
        return false;
    if ((hasPending && target < pendingPts) || finished)
        return true;
    const int64_t position = hasPending ? pendingPts : heldPts;
    // A seek pays off once a key frame lies between here and the target, unless it comes within
    // a few frames: decoding those costs less than the frames a seek drops from the decoder's
    // threads (an export's next sample is often just past a key frame).
    if (indexed) {
        const auto next = keyAfter(position);
        return !next || *next > target || double(*next - position) * timeBase < nearKey;
    }
    return double(target - position) * timeBase < 2.0;
}

std::optional<int64_t> VideoSource::State::earlierSeekPoint(int64_t from, int attempt) {
    if (indexed) {
        if (from <= start)
            return std::nullopt;
        if (attempt + 2 >= maxSeekAttempts)
            return start;
        return keyAtOrBefore(from - 1).value_or(start);
    }
    // Seeks by decode time can land after the first frame even when asked for the start, so the
    // last step goes a second below it.
    const int64_t floor = start - int64_t(std::llround(1.0 / timeBase));
    if (from <= floor)
        return std::nullopt;
    if (attempt + 2 >= maxSeekAttempts)
        return floor;
    return std::max(floor, from - int64_t(std::llround(double(1 << attempt) / timeBase)));
}

// Seeks to the key frame at or before `target` and decodes up to it (or only the first frame).
// Seeking by decode times, or into missing data, can land past the target: then step back.
void VideoSource::State::seekBefore(int64_t target, bool oneFrame) {
    int64_t seekPts = target;
    for (int attempt = 0; attempt < maxSeekAttempts; ++attempt) {
        seek(seekPts);
        advanceTo(target, oneFrame);
        if (hasHeld)
            return;
        const int64_t from = landingPts != AV_NOPTS_VALUE ? std::min(seekPts, landingPts) : seekPts;
        const auto earlier = earlierSeekPoint(from, attempt);
        if (!earlier || *earlier >= seekPts)
            return; // the target precedes the first frame, or nothing decodes
        seekPts = *earlier;
    }
}

QImage VideoSource::State::exactFrame(int64_t target, const EarlyPicture& shown) {
    early = &shown;
    earlyShown = false;
    const auto done = qScopeGuard([this] { early = nullptr; });
    if (sampling && !onSchedule(target)) {
        // Frames off the schedule may have been dropped: start again from a key frame.
        sampling.reset();
        positioned = false;
    }
    lastTarget = target;
    if (canContinueTo(target)) {
        advanceTo(target);
    } else if (fresh && (firstKey ? keyAtOrBefore(target).value_or(*firstKey) <= *firstKey
                                  : double(target - start) * timeBase < 1.0)) {
        // Just opened and the target is in the first group of pictures: no seek needed.
        positioned = true;
        awaitingLanding = true;
        advanceTo(target);
    } else {
        seekBefore(target, false);
    }
    if (hasHeld)
        return convert(held.get(), heldPts);
    if (hasPending) // the target precedes the first frame
        return convert(pending.get(), pendingPts);
    unreadable();
}

QImage VideoSource::State::keyFrame(int64_t target) {
    lastTarget = AV_NOPTS_VALUE;
    if (sampling) {
        sampling.reset();
        positioned = false;
    }
    // Without an index, the key frame before the target is the one a seek finds.
    int64_t keyPts = target;
    const auto before = keyAtOrBefore(target);
    const auto after = keyAfter(target);
    if (before && (!after || target - *before <= *after - target))
        keyPts = *before;
    else if (after)
        keyPts = *after;
    if (!(indexed && positioned && hasHeld && heldPts == keyPts))
        seekBefore(keyPts, true);
    if (hasHeld)
        return convert(held.get(), heldPts);
    if (hasPending)
        return convert(pending.get(), pendingPts);
    unreadable();
}

QImage VideoSource::State::convert(AVFrame* frame, int64_t pts) {
    if (pts == imagePts && generation == imageGeneration && !image.isNull())
        return image;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (!desc || frame->width <= 0 || frame->height <= 0)
        unreadable();
    if (crop) {
        image = converter.cropped(frame, av_guess_sample_aspect_ratio(format.get(), stream, frame),
                                  orientation, crop->first, crop->second);
        if (image.isNull())
            image = MediaProcessor::crop(whole(frame), crop->first, crop->second);
    } else {
        image = whole(frame);
    }
    imagePts = pts;
    imageGeneration = generation;
    return image;
}

QImage VideoSource::State::whole(AVFrame* frame, int side) {
    return converter.whole(frame, av_guess_sample_aspect_ratio(format.get(), stream, frame),
                           orientation, side, side < maxSide);
}

VideoSource::VideoSource(const QString& path, int decoderThreads) {
    // Broken files make the decoders talk; the application prints nothing.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    m_state = std::make_unique<State>(path, decoderThreads);
}

VideoSource::~VideoSource() = default;
VideoSource::VideoSource(VideoSource&&) noexcept = default;
VideoSource& VideoSource::operator=(VideoSource&&) noexcept = default;

double VideoSource::duration() const {
    return m_state->seconds;
}

void VideoSource::setCrop(const CropSettings& settings, int pixelSize) {
    m_state->crop = std::pair(settings, std::max(1, pixelSize));
    const AVCodecContext* codec = m_state->codec.get();
    const QRectF window =
        MediaProcessor::cropWindow(QSizeF(codec->width, codec->height), m_state->crop->first);
    m_state->thinEdges = codec->width > 0 && codec->height > 0 &&
                         std::min(window.width(), window.height()) >= 3.0 * m_state->crop->second;
    ++m_state->generation; // a frame converted without the crop is stale
}

void VideoSource::clearCrop() {
    m_state->crop.reset();
    m_state->thinEdges = false;
    ++m_state->generation;
}

void VideoSource::setSampling(double start, double step) {
    if (!std::isfinite(start) || !std::isfinite(step) || !(step > 0))
        return;
    m_state->sampling = State::Sampling{std::max(0.0, start), step};
    // A new schedule starts from a key frame, as on a decoder just opened: the frames the last one
    // left out may be this one's, and those decoded for it were deblocked for its crop.
    m_state->lastTarget = AV_NOPTS_VALUE;
    if (!m_state->fresh)
        m_state->positioned = false;
}

void VideoSource::setStopRequest(StopRequest stop) {
    m_state->stop = std::move(stop);
}

QImage VideoSource::frameAt(double seconds, Accuracy accuracy, const EarlyPicture& early) {
    m_state->clock.restart();
    m_state->requestFrames = 0;
    const int64_t target = m_state->toStreamTime(seconds);
    return accuracy == Accuracy::exact ? m_state->exactFrame(target, early)
                                       : m_state->keyFrame(target);
}

} // namespace tovi
