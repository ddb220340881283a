#include "ready_export.h"

#include "app/background_task.h"
#include "app/product.h"
#include "media/fragment_sampler.h"
#include "media/media_processor.h"
#include "studio/fragment_playback.h"

#include <algorithm>

namespace tovi {

ReadyExport::ReadyExport(QObject* parent)
    : QObject(parent) {
    m_rest.setSingleShot(true);
    m_rest.setInterval(restMs);
    connect(&m_rest, &QTimer::timeout, this, &ReadyExport::start);
}

ReadyExport::~ReadyExport() {
    if (m_stop)
        m_stop->store(true);
}

void ReadyExport::takeFramesFrom(const FragmentPlayback& playback) {
    m_playback = &playback;
    // Queued: a change of the settings reaches this after the playback, and drops the wait.
    connect(
        &playback, &FragmentPlayback::framesChanged, this,
        [this] {
            if (m_awaitingFrames)
                start();
        },
        Qt::QueuedConnection);
}

void ReadyExport::follow(const std::optional<MediaInfo>& media, const ExportOptions& options) {
    const bool same = media.has_value() == m_media.has_value() &&
                      (!media || media->url == m_media->url) && options == m_options;
    if (same && m_state != State::none)
        return;
    m_media = media;
    m_options = options;
    m_requests.drop();
    m_awaitingFrames = false;
    if (m_stop)
        m_stop->store(true);
    m_stop.reset();
    m_bytes.clear();
    m_suggestions = {};
    m_rest.stop();
    if (!media || options.format != OutputFormat::gif) {
        setState(State::none);
        return;
    }
    setState(State::waiting);
    m_rest.start();
}

bool ReadyExport::fits() const {
    return m_state == State::ready && m_bytes.size() <= MediaProcessor::maxGifBytes;
}

std::optional<QByteArray> ReadyExport::take(const MediaInfo& media,
                                            const ExportOptions& options) const {
    if (m_state != State::ready || !m_media || m_media->url != media.url || options != m_options)
        return std::nullopt;
    return m_bytes;
}

namespace {

// The preview's source frames of `drawn`, every one decoded (none when there are none).
struct FramesAtHand {
    const MediaInfo& media;
    const ExportOptions& drawn;
    std::vector<QImage> frames;
};

// `options`' GIF as the send would write it: from the frames at hand when each source frame it
// samples is one of them, drawn alike; otherwise from the file.
QByteArray encodedFrom(const FramesAtHand& hand, const ExportOptions& options,
                       const MediaProcessor::ExportProgress& progress) {
    if (!hand.frames.empty() && options.format == OutputFormat::gif && !options.rotation &&
        FragmentSampler::drawsAlike(options, hand.drawn)) {
        const FragmentPlan held = FragmentPlan::of(hand.media, hand.drawn);
        const FragmentPlan plan = FragmentPlan::of(hand.media, options);
        std::vector<int> taken(size_t(plan.count));
        for (int k = 0; k < plan.count; ++k)
            taken[size_t(k)] = held.indexOf(plan, k);
        if (held.count == int(hand.frames.size()) &&
            std::find(taken.begin(), taken.end(), -1) == taken.end())
            return MediaProcessor::fragmentGif(
                plan, [&](int k) { return hand.frames[size_t(taken[size_t(k)])]; }, progress);
    }
    return MediaProcessor::encoded(hand.media, options, progress);
}

// The way out in the window's own steps: the length as fitSuggestions finds it, and the frame
// rate among the window's frame rates, each encoded to prove it fits.
FitSuggestions windowSuggestions(const FramesAtHand& hand, qsizetype bytes,
                                 const MediaProcessor::ExportProgress& progress) {
    const SuggestionEncode encode = [&](const ExportOptions& changed) {
        return encodedFrom(hand, changed, progress);
    };
    FitSuggestions found = fitSuggestions(hand.media, hand.drawn, bytes, encode);
    if (!found.fps)
        return found;
    const int fits = found.fps->options.fps;
    std::optional<FitSuggestion> offered;
    for (auto rate = std::rbegin(Product::frameRates); rate != std::rend(Product::frameRates);
         ++rate) {
        if (*rate > fits)
            continue; // one step above what fits did not fit
        ExportOptions slower = hand.drawn;
        slower.fps = *rate;
        const qsizetype size = *rate == fits ? found.fps->bytes : encode(slower).size();
        if (size <= MediaProcessor::maxGifBytes)
            offered = FitSuggestion{slower, size};
        break;
    }
    found.fps = offered;
    return found;
}

} // namespace

// Copies of the playback's pictures, which its own vector never hands to another thread.
std::vector<QImage> ReadyExport::framesAtHand() const {
    if (m_playback && m_media && m_playback->draws(*m_media, m_options) && m_playback->complete())
        return m_playback->frames();
    return {};
}

void ReadyExport::start() {
    if (!m_media)
        return;
    std::vector<QImage> frames = framesAtHand();
    // Still decoding: they come sooner than the file would decode beside them at idle priority.
    m_awaitingFrames = frames.empty() && m_playback && m_playback->draws(*m_media, m_options);
    if (m_awaitingFrames)
        return;
    const LatestRequest::Ticket ticket = m_requests.start();
    m_stop = std::make_shared<std::atomic<bool>>(false);
    runInBackground(
        this,
        [media = *m_media, options = m_options, frames = std::move(frames), stop = m_stop] {
            const IdleScheduling idle; // the window and its playing preview come first
            return encodedFrom(FramesAtHand{media, options, frames}, options,
                               [stop](int, int) { return !stop->load(); });
        },
        [this, ticket](const Outcome<QByteArray>& outcome) {
            if (!ticket.current())
                return;
            m_stop.reset();
            if (!outcome.ok()) {
                setState(State::failed);
                return;
            }
            m_bytes = *outcome.value;
            setState(State::ready);
            if (!fits())
                suggest();
        });
}

// After the size is shown: the ways out of a GIF too large, found in the background as well.
void ReadyExport::suggest() {
    const LatestRequest::Ticket ticket = m_requests.start();
    m_stop = std::make_shared<std::atomic<bool>>(false);
    runInBackground(
        this,
        [media = *m_media, options = m_options, frames = framesAtHand(), bytes = m_bytes.size(),
         stop = m_stop] {
            const IdleScheduling idle;
            return windowSuggestions(FramesAtHand{media, options, frames}, bytes,
                                     [stop](int, int) { return !stop->load(); });
        },
        [this, ticket](const Outcome<FitSuggestions>& outcome) {
            if (!ticket.current() || !outcome.ok())
                return;
            m_stop.reset();
            m_suggestions = *outcome.value;
            emit changed();
        });
}

void ReadyExport::setState(State state) {
    m_state = state;
    emit changed();
}

} // namespace tovi
