#include "fragment_playback.h"

#include "app/background_task.h"
#include "media/media_error.h"
#include "media/video_source.h"

#include <cmath>
#include <mutex>

namespace tovi {
namespace {

// Whether two plans sample the same source frames, whatever order and speed they play them at.
bool sampledAlike(const FragmentPlan& a, const FragmentPlan& b) {
    return a.rate == b.rate && a.start == b.start && a.length == b.length && a.count == b.count;
}

} // namespace

struct FragmentPlayback::Decoder {
    std::mutex mutex;
    std::optional<VideoSource> video;
};

FragmentPlayback::FragmentPlayback(QObject* parent)
    : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FragmentPlayback::advance);
    m_handStill.setSingleShot(true);
    m_handStill.setInterval(handStillMs);
    connect(&m_handStill, &QTimer::timeout, this, [this] {
        m_gesture = false;
        startDecoding();
        resume();
    });
    m_clock.start();
}

// The request goes with the playback: a decode under way stops at its next picture.
FragmentPlayback::~FragmentPlayback() = default;

void FragmentPlayback::setFragment(const std::optional<MediaInfo>& media,
                                   const ExportOptions& options) {
    std::optional<FragmentPlan> plan;
    if (media && media->animated && options.format == OutputFormat::gif && !options.rotation) {
        try {
            plan = FragmentPlan::of(*media, options);
        } catch (const MediaError&) {
            // No frame in the fragment: nothing plays, and the export will say why.
        }
    }
    const bool sameFrames = plan.has_value() == m_active &&
                            (!plan || (sampledAlike(*plan, m_plan) && media->url == m_media->url &&
                                       FragmentSampler::drawsAlike(options, m_options)));
    const bool same = sameFrames && (!plan || *plan == m_plan);
    if (!plan || !media->video || !m_media || media->url != m_media->url)
        m_decoder = plan && media->video ? std::make_shared<Decoder>() : nullptr;
    m_media = plan ? media : std::nullopt;
    m_options = options;
    if (same)
        return;
    if (sameFrames) { // only the order or the speed: the decoded frames play anew
        m_plan = *plan;
        replay();
        return;
    }
    m_active = plan.has_value();
    m_plan = plan.value_or(FragmentPlan{});
    restart();
}

bool FragmentPlayback::draws(const MediaInfo& media, const ExportOptions& options) const {
    if (m_frames.empty() || media.url != m_media->url ||
        !FragmentSampler::drawsAlike(options, m_options) || (m_finished && !complete()))
        return false;
    try {
        return sampledAlike(FragmentPlan::of(media, options), m_plan);
    } catch (const MediaError&) {
        return false;
    }
}

void FragmentPlayback::setEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    restart();
}

void FragmentPlayback::holdForGesture() {
    m_gesture = true;
    m_timer.stop();
    m_handStill.start();
}

void FragmentPlayback::setHidden(bool hidden) {
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    resume();
}

void FragmentPlayback::setPaused(bool paused) {
    if (paused == m_paused)
        return;
    m_paused = paused;
    emit pausedChanged();
    resume();
}

bool FragmentPlayback::held() const {
    return !m_enabled || m_hidden || m_paused || m_gesture;
}

void FragmentPlayback::restart() {
    m_request = m_requests.start();
    m_decoding = false;
    m_finished = false;
    m_startShown = false;
    m_frames.assign(m_active && m_enabled ? size_t(m_plan.count) : 0, QImage());
    m_ready = 0;
    m_timer.stop();
    m_index = -1;
    m_waiting = false;
    if (!m_frame.isNull()) {
        m_frame = QImage();
        emit frameChanged();
    }
    emit framesChanged();
    startDecoding();
}

void FragmentPlayback::replay() {
    m_timer.stop();
    m_index = -1;
    m_waiting = false;
    if (m_frames.empty() || m_frames[size_t(m_plan.source(0))].isNull()) {
        if (!m_frame.isNull()) {
            m_frame = QImage();
            emit frameChanged();
        }
        return;
    }
    showFirst();
}

void FragmentPlayback::showFirst() {
    show(0);
    m_dueNs = m_clock.nsecsElapsed() + delayNs(0);
    schedule();
}

void FragmentPlayback::startDecoding() {
    if (m_frames.empty() || m_gesture || m_decoding)
        return;
    m_decoding = true;
    runInBackground(
        this,
        [media = *m_media, options = m_options, request = m_request, decoder = m_decoder,
         relay = InterfaceRelay(this), self = this] {
            const StopRequest stale = request.stale();
            std::unique_lock<std::mutex> lock;
            if (decoder)
                lock = std::unique_lock(decoder->mutex);
            if (stale())
                throw Cancelled();
            if (decoder && !decoder->video)
                decoder->video.emplace(media.url.toLocalFile(), VideoSource::previewDecoderThreads);
            std::optional<FragmentSampler> sampler;
            if (decoder)
                sampler.emplace(*decoder->video, media, options, stale);
            else
                sampler.emplace(media, options, stale);
            // The relay calls only while the playback lives.
            const auto post = [&relay, self, &request](int index, QImage frame) {
                relay([self, request, index, frame = std::move(frame)] {
                    self->received(request, index, frame);
                });
            };
            for (int i = 0; i < sampler->plan().count; ++i) {
                post(i, sampler->frame(i));
                if (i == 0)
                    post(-1, sampler->sourceFrame(0));
            }
        },
        [this, request = m_request](const Outcome<std::monostate>& outcome) {
            if (!request.current())
                return;
            m_finished = true;
            if (!outcome.error.isEmpty()) {
                emit framesChanged();
                emit failed(outcome.error);
            }
        });
}

void FragmentPlayback::received(const LatestRequest::Ticket& request, int index,
                                const QImage& frame) {
    if (!request.current() || index >= frameCount())
        return;
    if (index < 0) {
        m_startShown = true;
        emit startFrame(frame, m_plan.start);
        return;
    }
    m_frames[size_t(index)] = frame;
    if (++m_ready == frameCount())
        emit framesChanged();
    if (m_index < 0 && index == m_plan.source(0)) {
        showFirst();
    } else if (m_waiting && index == m_plan.source((m_index + 1) % loopFrames()) && !held()) {
        advance();
    }
}

qint64 FragmentPlayback::delayNs(int index) const {
    return std::llround(m_plan.delay(index) * 1e9);
}

void FragmentPlayback::show(int index) {
    m_index = index;
    m_frame = m_frames[size_t(m_plan.source(index))];
    emit frameChanged();
}

void FragmentPlayback::advance() {
    const int next = (m_index + 1) % loopFrames();
    if (m_frames[size_t(m_plan.source(next))].isNull()) {
        m_waiting = true; // shown as soon as it decodes
        return;
    }
    m_waiting = false;
    show(next);
    // A timer a little late keeps the GIF's time; after a wait the clock starts again from now.
    const qint64 now = m_clock.nsecsElapsed();
    m_dueNs = (now - m_dueNs > delayNs(next) ? now : m_dueNs) + delayNs(next);
    schedule();
}

void FragmentPlayback::resume() {
    if (held() || m_index < 0) {
        m_timer.stop();
        return;
    }
    m_dueNs = m_clock.nsecsElapsed() + delayNs(m_index);
    m_waiting = false;
    schedule();
}

void FragmentPlayback::schedule() {
    if (held() || m_index < 0 || loopFrames() < 2) {
        m_timer.stop();
        return;
    }
    const qint64 left = m_dueNs - m_clock.nsecsElapsed();
    m_timer.start(int(std::max<qint64>(0, (left + 500'000) / 1'000'000)));
}

} // namespace tovi
