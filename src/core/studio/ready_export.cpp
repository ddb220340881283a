#include "ready_export.h"

#include "app/background_task.h"
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
        });
}

void ReadyExport::setState(State state) {
    m_state = state;
    emit changed();
}

} // namespace tovi
