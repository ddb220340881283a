#pragma once

#include "app/latest_request.h"
#include "media/fragment_sampler.h"
#include "media/media_types.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace tovi {

// The playing preview of a sampled GIF: the frames of FragmentSampler, decoded on the worker
// pool into a cache of 240 × 240 pictures (at most 96, about 22 MB) and shown in a loop in the
// plan's order, each for the delay the GIF carries. Playback starts with the GIF's first frame
// while later ones decode (backwards, once the whole fragment has).
// Confined to the interface thread. Its one timer runs only while a frame is due: a still, a
// paused, hidden or held playback, or one waiting for a frame to decode costs no ticks.
class FragmentPlayback : public QObject {
    Q_OBJECT
public:
    // How long the hand must rest after a gesture before the new crop decodes and plays.
    static constexpr int handStillMs = 200;

    explicit FragmentPlayback(QObject* parent = nullptr);
    ~FragmentPlayback() override;

    // What to play. Anything but a sampled GIF of animated media (a still, a JPEG, a turn)
    // stops and frees everything. A change to what the frames show (start, length, fps, crop,
    // captions) drops the old frames at once, stops their decoding and starts anew from the
    // first frame; the order or the speed plays the frames at hand anew from the GIF's first;
    // other changes keep playing.
    void setFragment(const std::optional<MediaInfo>& media, const ExportOptions& options);
    // Off (reduced motion): nothing decodes or plays and frame() is null.
    void setEnabled(bool enabled);
    // A gesture step on the crop: nothing decodes or plays until the hand has rested for
    // handStillMs; the new frames then play from the first.
    void holdForGesture();
    // The preview is out of sight: the clock stops; shown again, the frame on display gets its
    // whole delay anew.
    void setHidden(bool hidden);
    void setPaused(bool paused);

    // The frame on display, null while no frame of the current fragment is ready, and its place
    // in the GIF (plan().frames() in the loop).
    const QImage& frame() const { return m_frame; }
    int frameIndex() const { return m_index; }
    // The source frames of the current fragment (0 when nothing plays) and how many have decoded.
    int frameCount() const { return int(m_frames.size()); }
    int framesReady() const { return m_ready; }
    const FragmentPlan& plan() const { return m_plan; }
    // The source frames, FragmentSampler's pictures (null while not decoded), and whether they
    // are, or are decoding to be, those `options` sample and draw from `media`, whatever order
    // and speed play them. They are what the export encodes: it may take them for its own.
    const std::vector<QImage>& frames() const { return m_frames; }
    bool complete() const { return !m_frames.empty() && m_ready == frameCount(); }
    bool draws(const MediaInfo& media, const ExportOptions& options) const;
    bool paused() const { return m_paused; }
    // Whether the clock is waiting to show the next frame.
    bool ticking() const { return m_timer.isActive(); }
    // Whether the fragment's start is being decoded (not merely waiting for a hand): startFrame
    // is on its way.
    bool loading() const { return m_decoding && !m_finished && !m_startShown; }

signals:
    void frameChanged();
    // The source frames have all decoded, or were dropped, or will not all decode.
    void framesChanged();
    void pausedChanged();
    // The whole source picture at the fragment's start, met on the way to its first frame: the
    // still preview need not decode it again.
    void startFrame(const QImage& picture, double time);
    // The fragment's frames could not be decoded: the Polish text. Playback stops.
    void failed(const QString& error);

private:
    void restart();
    void replay();
    void showFirst();
    int loopFrames() const { return m_plan.frames(); }
    void startDecoding();
    void received(const LatestRequest::Ticket& request, int index, const QImage& frame);
    void show(int index);
    void advance();
    void resume();
    void schedule();
    bool held() const;
    qint64 delayNs(int index) const;

    std::optional<MediaInfo> m_media;
    ExportOptions m_options;
    // A video's decoder, kept open between fragments: one decode uses it at a time, and a newer
    // one stops the older between packets.
    struct Decoder;
    std::shared_ptr<Decoder> m_decoder;
    bool m_active = false; // a sampled GIF to play
    FragmentPlan m_plan;
    bool m_enabled = true;
    bool m_hidden = false;
    bool m_paused = false;
    bool m_gesture = false;
    QTimer m_handStill;

    // Every change to the frames starts a generation; a decode of an older one stops between
    // pictures and its frames are never shown.
    LatestRequest m_requests;
    LatestRequest::Ticket m_request; // the fragment's frames now asked for
    bool m_decoding = false;         // the current generation's decode has been started
    bool m_finished = false;         // and has ended
    bool m_startShown = false;       // startFrame has been emitted
    std::vector<QImage> m_frames;
    int m_ready = 0;

    QImage m_frame;
    int m_index = -1;
    bool m_waiting = false; // the next frame was due before it decoded
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_dueNs = 0; // when the frame after m_index is due, on m_clock
};

} // namespace tovi
