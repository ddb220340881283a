#pragma once

// The GIF the send would write, made before the send: once the media and the settings have rested
// for restMs, it is encoded in the background, on a thread that runs only when the machine has
// nothing else to do, exactly as the send encodes it. Any change drops the work under way at once;
// the interface never waits for it. Interface thread.
//
// The source frames are the playing preview's when it holds, or is decoding, exactly the
// fragment's (the export's own sampler's pictures): then nothing is decoded again, and a
// fragment still decoding is waited for, which is sooner than decoding the file beside it.
// The ways out of a GIF too large take them too where they sample the same times.

#include "app/latest_request.h"
#include "media/fit_suggestions.h"
#include "media/media_types.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace tovi {

class FragmentPlayback;

class ReadyExport : public QObject {
    Q_OBJECT
public:
    // How long the settings rest before the encoding starts: a drag of a slider starts none.
    static constexpr int restMs = 500;

    enum class State {
        none,    // nothing to make: no media, or a JPEG
        waiting, // the settings changed and have not rested yet, or the encoding runs
        ready,   // bytes() is what the send would write (a GIF over the limit included)
        failed,  // the encoding failed: the send will say why
    };

    explicit ReadyExport(QObject* parent = nullptr);
    ~ReadyExport() override;

    // The playback whose frames are taken where they serve; it outlives this.
    void takeFramesFrom(const FragmentPlayback& playback);
    // What the send would export from now on. The same media and options keep what is ready.
    void follow(const std::optional<MediaInfo>& media, const ExportOptions& options);

    State state() const { return m_state; }
    const QByteArray& bytes() const { return m_bytes; }
    // Whether the ready GIF keeps within the device's limit.
    bool fits() const;
    // For a ready GIF too large, once found: the highest of the window's frame rates and the
    // longest length that fit, each proven by its own encode (fitSuggestions).
    const FitSuggestions& suggestions() const { return m_suggestions; }
    // The ready bytes when they were made from exactly `media` and `options`.
    std::optional<QByteArray> take(const MediaInfo& media, const ExportOptions& options) const;

signals:
    void changed();

private:
    void start();
    void suggest();
    void setState(State state);
    std::vector<QImage> framesAtHand() const;

    std::optional<MediaInfo> m_media;
    ExportOptions m_options;
    State m_state = State::none;
    QByteArray m_bytes;
    FitSuggestions m_suggestions;
    QTimer m_rest;
    LatestRequest m_requests;
    std::shared_ptr<std::atomic<bool>> m_stop; // of the encoding under way
    const FragmentPlayback* m_playback = nullptr;
    bool m_awaitingFrames = false; // rested, and the playback's frames are on their way
};

} // namespace tovi
