#pragma once

#include "app/latest_request.h"
#include "app/tovi_error.h"
#include "device/device_job.h"
#include "media/media_types.h"
#include "studio/fragment_playback.h"
#include "studio/ready_export.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

namespace tovi {

class DeferredWrite;
class MediaCopy;
class Settings;
struct SavedWork;

// The model of the single-graphic mode: the one piece of media being worked on, the export
// settings, the live 600 × 600 preview, and the album writer. Confined to the interface thread;
// heavy work runs on the thread pool and is applied back here. Empty strings, bytes and
// pictures stand for "nothing".
class StudioModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<tovi::MediaInfo> media READ media NOTIFY mediaChanged)
    Q_PROPERTY(QString mediaName READ mediaName NOTIFY mediaNameChanged)
    Q_PROPERTY(QImage preview READ preview NOTIFY previewChanged)
    Q_PROPERTY(tovi::ExportOptions options READ options WRITE setOptions NOTIFY optionsChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(QString destination READ destination NOTIFY destinationChanged)
    Q_PROPERTY(QByteArray output READ output NOTIFY outputChanged)
    Q_PROPERTY(QString selectedFolder READ selectedFolder WRITE setSelectedFolder NOTIFY
                   selectedFolderChanged)
    Q_PROPERTY(QString exportedURL READ exportedURL NOTIFY exportedURLChanged)
    Q_PROPERTY(bool stalled READ stalled NOTIFY stalledChanged)

public:
    // How long the preview waits for the start time to settle before decoding.
    static constexpr int previewDebounceMs = 120;
    static constexpr int previewSize = 600;

    // Whether the work is kept for the next start (the window) or not (a one-shot command,
    // which leaves the window's saved work alone).
    enum class Work { kept, oneShot };

    // Restores the album and the remembered device folder from `settings` and, when the work is
    // kept, in the background the work the last run left (its media, name and options); clears
    // away the other media copies that earlier runs left in the working folder. Work whose copy
    // is gone, unreadable or in another instance's hands is not restored.
    explicit StudioModel(Settings& settings, Work work = Work::kept, QObject* parent = nullptr);
    ~StudioModel() override;

    const std::optional<MediaInfo>& media() const { return m_media; }
    const QString& mediaName() const { return m_mediaName; }
    const QImage& preview() const { return m_preview; }
    const ExportOptions& options() const { return m_options; }
    bool busy() const { return m_busy; }
    const QString& message() const { return m_message; }
    const QString& error() const { return m_error; }
    // What kind of failure `error` tells: a full Tovi is offered a way to make room.
    FailureKind errorKind() const { return m_errorKind; }
    const QString& destination() const { return m_destination; }
    const QByteArray& output() const { return m_output; }
    const QString& selectedFolder() const { return m_selectedFolder; }
    const QString& exportedURL() const { return m_exportedURL; }
    // The fragment playing on the preview, for a sampled GIF of animated media.
    FragmentPlayback& playback() { return m_playback; }
    // The GIF the send would write, made ahead of it once `makeReadyAhead(true)` (the window;
    // a one-shot command exports once and needs none). The send then writes those bytes.
    const ReadyExport& ready() const { return m_ready; }
    void makeReadyAhead(bool on);

    // Changes the settings; the caller refreshes the preview when the picture depends on them.
    void setOptions(const ExportOptions& options);
    // Stored at once under "tovi.album".
    void setSelectedFolder(const QString& folder);
    // The alert's "OK".
    void clearError();
    // Shows a failure that happened around the model (the collection's artwork is missing).
    void reportError(const QString& error);
    // Forgets the last export's bytes and file name without deleting the file: a setting changed
    // that does not show on the preview (the frame rate).
    void forgetExport();

    // Starts importing the user's file; ignored while busy.
    void importMedia(const QUrl& url);
    // Puts a picture of a row (PictureRow) into the editor with its own settings. Its copy is
    // removed once replaced only when nobody else holds it.
    void showPicture(const MediaInfo& media, std::shared_ptr<MediaCopy> copy, const QString& name,
                     const ExportOptions& options);
    // The settings newly imported media starts with: nothing of the media before carries over.
    static ExportOptions freshOptions(const MediaInfo& media);
    // Drops the last export and brings the preview up to date with the media and options.
    void refreshPreview();
    // A pointer drag of (dx, dy) points over a preview square `size` points wide.
    void panCrop(double dx, double dy, double size);
    // A scroll-wheel delta; `precise` for continuous scrolling devices.
    void zoomCrop(double delta, bool precise);
    // A pinch's scale factor.
    void magnifyCrop(double scale);

    // Accepts and remembers the folder the user chose on the device (an album or the root).
    void chooseDestination(const QString& folder);
    // Encodes the graphic, keeps a local copy, and with `saveToDevice` adds it to the album with
    // a verified write. Returns at once; ignored without media or while busy.
    void prepare(bool saveToDevice);
    // Stops the encoding of prepare() at its next frame: busy clears with no error, no output
    // and the previous export kept. A device write that has begun is finished.
    void cancelExport();
    // The Tovi has not answered the album write for a while (DeviceWatch).
    bool stalled() const { return m_albumWrite.stalled(); }
    // While stalled: stops waiting for the Tovi. busy clears at once and `error` names the local
    // copy; the abandoned write does not begin if it has not, and lets go of the album as soon as
    // the call it is blocked in returns.
    void stopWaiting();
    // How long the Tovi may stay silent before `stalled`.
    void setPatience(std::chrono::milliseconds patience) { m_albumWrite.setPatience(patience); }

signals:
    void mediaChanged();
    void mediaNameChanged();
    void previewChanged();
    void optionsChanged();
    void busyChanged();
    void messageChanged();
    void errorChanged();
    void destinationChanged();
    void outputChanged();
    void selectedFolderChanged();
    void exportedURLChanged();
    void stalledChanged();
    // How far a running export is: frames done of frames in all.
    void exportProgress(int done, int total);

private:
    void setBusy(bool busy);
    void setMessage(const QString& message);
    void setError(const QString& error);
    void setFailure(const QString& error, FailureKind kind);
    void setOutput(const QByteArray& output);
    void setExportedURL(const QString& url);
    void setPreview(const QImage& preview);
    void setDestination(const QString& destination);
    void renderPreview(const QImage& frame);
    void decodePreviewFrame();
    void changeCrop(const CropSettings& crop);
    struct Imported;
    // Makes `imported` the media, dropping the previous media's copy and the last export.
    void showMedia(const Imported& imported, const QString& name, const ExportOptions& options);
    void restoreWork(const SavedWork& work);
    // Hands the media and options to m_work, which writes them once they settle.
    void saveWork();

    Settings& m_settings;
    std::optional<MediaInfo> m_media;
    QString m_mediaName;
    QImage m_preview;
    ExportOptions m_options;
    bool m_busy = false;
    QString m_message;
    QString m_error;
    FailureKind m_errorKind = FailureKind::other;
    QString m_destination;
    QByteArray m_output;
    QString m_selectedFolder;
    QString m_exportedURL;

    QImage m_cachedFrame; // the exact frame at m_cachedTime
    double m_cachedTime = 0;
    // The imported video's decoder, kept open between previews (none for pictures).
    struct PreviewSource;
    std::shared_ptr<PreviewSource> m_previewSource;
    // The preview refresh in flight: the debounce timer, and the request that every refresh
    // replaces, so that a decode started earlier stops and never publishes.
    QTimer m_previewTimer;
    LatestRequest m_previewRequests;
    LatestRequest::Ticket m_previewRequest;
    std::shared_ptr<MediaCopy> m_mediaCopy;
    std::shared_ptr<std::atomic<bool>> m_exportCancelled; // of the export under way
    DeviceJob m_albumWrite;
    FragmentPlayback m_playback;
    ReadyExport m_ready;
    bool m_readyAhead = false;
    std::unique_ptr<DeferredWrite> m_work; // none without a working folder
};

} // namespace tovi
