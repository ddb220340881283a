#include "ready_export.h"

#include "app/background_task.h"
#include "app/product.h"
#include "media/media_processor.h"

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

void ReadyExport::follow(const std::optional<MediaInfo>& media, const ExportOptions& options) {
    const bool same = media.has_value() == m_media.has_value() &&
                      (!media || media->url == m_media->url) && options == m_options;
    if (same && m_state != State::none)
        return;
    m_media = media;
    m_options = options;
    m_requests.drop();
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

// The way out in the window's own steps: the length as fitSuggestions finds it, and the frame
// rate among the window's frame rates, each encoded to prove it fits.
FitSuggestions windowSuggestions(const MediaInfo& media, const ExportOptions& options,
                                 qsizetype bytes, const MediaProcessor::ExportProgress& progress) {
    FitSuggestions found = fitSuggestions(media, options, bytes, progress);
    if (!found.fps)
        return found;
    const int fits = found.fps->options.fps;
    std::optional<FitSuggestion> offered;
    for (auto rate = std::rbegin(Product::frameRates); rate != std::rend(Product::frameRates);
         ++rate) {
        if (*rate > fits)
            continue; // one step above what fits did not fit
        ExportOptions slower = options;
        slower.fps = *rate;
        const qsizetype size = *rate == fits
                                   ? found.fps->bytes
                                   : MediaProcessor::encoded(media, slower, progress).size();
        if (size <= MediaProcessor::maxGifBytes)
            offered = FitSuggestion{slower, size};
        break;
    }
    found.fps = offered;
    return found;
}

} // namespace

void ReadyExport::start() {
    if (!m_media)
        return;
    const LatestRequest::Ticket ticket = m_requests.start();
    m_stop = std::make_shared<std::atomic<bool>>(false);
    runInBackground(
        this,
        [media = *m_media, options = m_options, stop = m_stop] {
            const IdleScheduling idle; // the window and its playing preview come first
            return MediaProcessor::encoded(media, options,
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
        [media = *m_media, options = m_options, bytes = m_bytes.size(), stop = m_stop] {
            const IdleScheduling idle;
            return windowSuggestions(media, options, bytes,
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
