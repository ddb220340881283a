#include "studio_model.h"

#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/deferred_write.h"
#include "app/published.h"
#include "app/settings.h"
#include "app/working_folder.h"
#include "device/album_writer.h"
#include "device/bookmark.h"
#include "device/device_finder.h"
#include "device/device_layout.h"
#include "device/scoped_access.h"
#include "device/tovi_connection_store.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "studio/media_copy.h"
#include "studio/saved_work.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <mutex>

namespace tovi {
namespace {

const QString defaultAlbum = QStringLiteral("Photo1");

// "tovi-" and 8 upper-case hexadecimal characters of a new UUID, with the format's extension.
QString outputName(OutputFormat format) {
    return AlbumWriter::freshName(rawValue(format).toLower());
}

} // namespace

ExportOptions StudioModel::freshOptions(const MediaInfo& media) {
    ExportOptions options;
    options.format = media.animated ? OutputFormat::gif : OutputFormat::jpg;
    options.length = std::min(4.0, media.duration);
    return options;
}

struct StudioModel::Imported {
    MediaInfo media;
    std::shared_ptr<MediaCopy> copy;
};

StudioModel::StudioModel(Settings& settings, Work work, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_selectedFolder(settings.string(Settings::album, defaultAlbum)) {
    m_previewTimer.setSingleShot(true);
    m_previewTimer.setInterval(previewDebounceMs);
    connect(&m_previewTimer, &QTimer::timeout, this, &StudioModel::decodePreviewFrame);
    connect(&m_albumWrite, &DeviceJob::stalledChanged, this, &StudioModel::stalledChanged);
    connect(&m_playback, &FragmentPlayback::failed, this, &StudioModel::setError);
    m_ready.takeFramesFrom(m_playback);
    connect(&m_playback, &FragmentPlayback::startFrame, this,
            [this](const QImage& frame, double time) {
                if (time != m_options.start || m_cachedTime == time)
                    return;
                m_previewTimer.stop();
                m_cachedFrame = frame;
                m_cachedTime = time;
                renderPreview(frame);
            });
    if (const auto folder = ToviConnectionStore::resolve(settings, Settings::destination))
        m_destination = *folder;
    std::optional<SavedWork> saved;
    try {
        if (work == Work::kept)
            m_work = std::make_unique<DeferredWrite>(SavedWork::file());
        saved = SavedWork::decode(readFile(SavedWork::file()));
    } catch (const ToviError&) {
        // No working folder, or nothing saved.
    }
    if (saved && m_work)
        restoreWork(*saved);
    // A video copy can be gigabytes; the other copies of earlier runs are never used again. The
    // saved work's stays, whether taken up here or left for the window.
    try {
        MediaCopy::removeStale(WorkingFolder::path(), saved ? saved->copy : QString());
    } catch (const ToviError&) {
        // No working folder yet: nothing to clean. Import reports the failure when it matters.
    }
}

StudioModel::~StudioModel() = default;

// --- fields -------------------------------------------------------------------------------------

void StudioModel::setOptions(const ExportOptions& options) {
    if (options == m_options)
        return;
    m_options = options;
    m_playback.setFragment(m_media, m_options);
    if (m_readyAhead)
        m_ready.follow(m_media, m_options);
    emit optionsChanged();
    saveWork();
}

void StudioModel::makeReadyAhead(bool on) {
    m_readyAhead = on;
    m_ready.follow(on ? m_media : std::nullopt, m_options);
}

void StudioModel::setSelectedFolder(const QString& folder) {
    if (folder == m_selectedFolder)
        return;
    m_selectedFolder = folder;
    m_settings.setString(Settings::album, folder);
    emit selectedFolderChanged();
}

void StudioModel::clearError() {
    setError({});
}

void StudioModel::reportError(const QString& error) {
    setError(error);
}

void StudioModel::forgetExport() {
    setOutput({});
    setExportedURL({});
}

void StudioModel::setBusy(bool busy) {
    publish(this, m_busy, busy, &StudioModel::busyChanged);
}

void StudioModel::setMessage(const QString& message) {
    publish(this, m_message, message, &StudioModel::messageChanged);
}

void StudioModel::setError(const QString& error) {
    setFailure(error, FailureKind::other);
}

void StudioModel::setFailure(const QString& error, FailureKind kind) {
    m_errorKind = error.isEmpty() ? FailureKind::other : kind;
    publish(this, m_error, error, &StudioModel::errorChanged);
}

void StudioModel::setOutput(const QByteArray& output) {
    if (output.isNull() && m_output.isNull())
        return;
    m_output = output;
    emit outputChanged();
}

void StudioModel::setExportedURL(const QString& url) {
    publish(this, m_exportedURL, url, &StudioModel::exportedURLChanged);
}

void StudioModel::setPreview(const QImage& preview) {
    m_preview = preview;
    emit previewChanged();
}

void StudioModel::setDestination(const QString& destination) {
    publish(this, m_destination, destination, &StudioModel::destinationChanged);
}

// --- import -------------------------------------------------------------------------------------

void StudioModel::importMedia(const QUrl& url) {
    if (m_busy)
        return;
    setBusy(true);
    setError({});
    setMessage({});
    const QString source = url.toLocalFile();
    runInBackground(
        this,
        [source] {
            InspectedCopy imported = InspectedCopy::of(source);
            return Imported{std::move(imported.media), std::move(imported.copy)};
        },
        [this, name = QFileInfo(source).fileName()](const Outcome<Imported>& outcome) {
            if (!outcome.ok()) {
                setError(outcome.error);
                setBusy(false);
                return;
            }
            showMedia(*outcome.value, name, freshOptions(outcome.value->media));
            setBusy(false);
        });
}

void StudioModel::showPicture(const MediaInfo& media, std::shared_ptr<MediaCopy> copy,
                              const QString& name, const ExportOptions& options) {
    showMedia(Imported{media, std::move(copy)}, name, options);
}

void StudioModel::showMedia(const Imported& imported, const QString& name,
                            const ExportOptions& options) {
    // A copy that a row of pictures still holds stays for the row.
    if (m_mediaCopy && m_mediaCopy.use_count() == 1)
        m_mediaCopy->remove();
    m_mediaCopy = imported.copy;
    m_media = imported.media;
    m_previewSource =
        m_media->video ? std::make_shared<PreviewSource>(m_media->url.toLocalFile()) : nullptr;
    m_cachedFrame = m_media->frame;
    m_cachedTime = 0;
    emit mediaChanged();
    if (name != m_mediaName) {
        m_mediaName = name;
        emit mediaNameChanged();
    }
    setOptions(options);
    if (m_readyAhead)
        m_ready.follow(m_media, m_options);
    setOutput({});
    setExportedURL({});
    refreshPreview();
    saveWork();
}

// --- saved work ---------------------------------------------------------------------------------

void StudioModel::restoreWork(const SavedWork& work) {
    std::shared_ptr<MediaCopy> copy =
        MediaCopy::adopt(QFileInfo(m_work->path()).dir().filePath(work.copy));
    if (!copy)
        return;
    // Inspected as an import inspects; an import the person starts meanwhile goes first.
    runInBackground(
        this, [copy] { return MediaProcessor::inspect(QUrl::fromLocalFile(copy->path())); },
        [this, copy, work](const Outcome<MediaInfo>& outcome) {
            if (m_media) {
                copy->remove(); // replaced already
                return;
            }
            if (!outcome.ok()) {
                copy->remove();
                m_work->remove();
                return;
            }
            showMedia(Imported{*outcome.value, copy}, work.mediaName, work.options);
        });
}

void StudioModel::saveWork() {
    if (!m_work || !m_media || !m_mediaCopy)
        return;
    m_work->write(
        SavedWork{QFileInfo(m_mediaCopy->path()).fileName(), m_mediaName, m_options}.encode());
}

// --- preview ------------------------------------------------------------------------------------

void StudioModel::refreshPreview() {
    setOutput({});
    if (!m_exportedURL.isEmpty()) {
        QFile::remove(m_exportedURL);
        setExportedURL({});
    }
    m_previewRequest = m_previewRequests.start();
    m_previewTimer.stop();
    m_playback.setFragment(m_media, m_options);
    if (!m_media)
        return;
    if (!m_cachedFrame.isNull() && m_cachedTime == m_options.start) {
        renderPreview(m_cachedFrame);
        return;
    }
    m_previewTimer.start();
}

void StudioModel::renderPreview(const QImage& frame) {
    try {
        setPreview(MediaProcessor::rendered(frame, m_options, previewSize));
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
}

// Opened on first use and kept, so that moving the start forward decodes only what lies
// between. One decode uses it at a time; a newer one stops the older between packets.
struct StudioModel::PreviewSource {
    explicit PreviewSource(QString file)
        : path(std::move(file)) {}
    const QString path;
    std::mutex mutex;
    std::optional<VideoSource> video;
};

void StudioModel::decodePreviewFrame() {
    if (!m_media)
        return;
    // The playback decodes this frame on its way to the first one (startFrame).
    if (m_playback.loading())
        return;
    const LatestRequest::Ticket request = m_previewRequest;
    const MediaInfo media = *m_media;
    const double start = m_options.start;
    // The key frame a seek lands on is shown while the exact frame decodes.
    auto early = [relay = InterfaceRelay(this), self = this, request](const QImage& picture) {
        relay([self, request, picture] {
            if (request.current())
                self->renderPreview(picture);
        });
    };
    runInBackground(
        this,
        [media, start, request, early, source = m_previewSource] {
            if (!source)
                return MediaProcessor::sourceFrame(media, start, VideoSource::Accuracy::exact);
            std::lock_guard lock(source->mutex);
            const StopRequest stale = request.stale();
            if (stale())
                throw Cancelled();
            if (!source->video)
                source->video.emplace(source->path, VideoSource::previewDecoderThreads);
            source->video->setStopRequest(stale);
            return MediaProcessor::videoFrame(*source->video, media, start,
                                              VideoSource::Accuracy::exact, early);
        },
        [this, request, start](const Outcome<QImage>& outcome) {
            if (!request.current() || outcome.cancelled)
                return;
            if (!outcome.ok()) {
                setError(outcome.error);
                return;
            }
            m_cachedFrame = *outcome.value;
            m_cachedTime = start;
            renderPreview(m_cachedFrame);
        });
}

// --- gestures -----------------------------------------------------------------------------------

void StudioModel::changeCrop(const CropSettings& crop) {
    m_playback.holdForGesture();
    ExportOptions options = m_options;
    options.crop = crop;
    setOptions(options);
    refreshPreview();
}

void StudioModel::panCrop(double dx, double dy, double size) {
    if (m_busy || !m_media)
        return;
    const QImage& frame = m_cachedFrame.isNull() ? m_media->frame : m_cachedFrame;
    changeCrop(m_options.crop.panned(dx, dy, size, frame.size()));
}

void StudioModel::zoomCrop(double delta, bool precise) {
    if (m_busy || !m_media)
        return;
    changeCrop(m_options.crop.zoomed(delta, precise));
}

void StudioModel::magnifyCrop(double scale) {
    if (m_busy || !m_media)
        return;
    changeCrop(m_options.crop.magnified(scale));
}

// --- album writer -------------------------------------------------------------------------------

void StudioModel::chooseDestination(const QString& folder) {
    const ScopedAccess access(folder);
    try {
        DeviceFinder::folderFor(ToviTransferKind::artwork, folder, m_selectedFolder);
        setDestination(folder);
        const QByteArray bookmark = Bookmark::make(folder);
        m_settings.setBytes(Settings::destination, bookmark);
        ToviConnectionStore::rememberRoot(folder, bookmark, m_settings);
        setMessage(QStringLiteral("Wybrano: ") + DeviceLayout::lastComponent(folder) +
                   QStringLiteral(". Zapis nastąpi dopiero po naciśnięciu przycisku."));
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
}

void StudioModel::cancelExport() {
    if (m_exportCancelled)
        m_exportCancelled->store(true);
}

void StudioModel::prepare(bool saveToDevice) {
    if (!m_media || m_busy)
        return;
    setBusy(true);
    setMessage({});
    setError({});
    const ExportOptions options = m_options;
    const MediaInfo media = *m_media; // the model's own copy of the file: inspected once
    // Progress crosses to the interface thread; a model that is gone by then hears nothing.
    m_exportCancelled = std::make_shared<std::atomic<bool>>(false);
    const auto cancelled = m_exportCancelled;
    auto shown = std::make_shared<std::atomic<int>>(-1);
    const MediaProcessor::ExportProgress progress = [relay = InterfaceRelay(this), self = this,
                                                     cancelled, shown](int done, int total) {
        if (cancelled->load())
            return false;
        if (shown->exchange(done) == done) // asked again while a frame decodes
            return true;
        relay([self, done, total] { emit self->exportProgress(done, total); });
        return true;
    };
    // The file is written beside the private copy by the export's worker, as soon as it is made.
    const QString name = outputName(options.format);
    const QString local = QDir(WorkingFolder::path()).filePath(name);
    // What was made ahead for exactly these settings is written at once.
    runInBackground(
        this,
        [media, options, progress, local, ready = m_ready.take(media, options)] {
            QByteArray bytes = ready ? MediaProcessor::checkedExport(*ready, options)
                                     : MediaProcessor::exportMedia(media, options, progress);
            atomicWrite(local, bytes);
            return bytes;
        },
        [this, saveToDevice, name, local](const Outcome<QByteArray>& encoded) {
            if (!encoded.ok()) {
                setError(encoded.error);
                setBusy(false);
                return;
            }
            setOutput(*encoded.value);
            if (!m_exportedURL.isEmpty())
                QFile::remove(m_exportedURL);
            setExportedURL(local);
            if (!saveToDevice) {
                setMessage(
                    QStringLiteral("Plik gotowy. Możesz go udostępnić lub zapisać w Plikach."));
                setBusy(false);
                return;
            }
            if (m_destination.isEmpty()) {
                setError(MediaError(MediaError::invalidFolder).message());
                setBusy(false);
                return;
            }
            const quint64 write = m_albumWrite.begin(true);
            // The leftovers note crosses to the interface thread; the write goes on only while
            // nobody has stopped waiting for it.
            const AlbumWriter::Observer observe = [this, step = m_albumWrite.step()](
                                                      const AlbumWriter::Added& sofar) {
                return step([this, sofar] {
                    if (!sofar.removed.isEmpty())
                        setMessage(DeviceLayout::leftoversRemovedText(sofar.album, sofar.removed));
                });
            };
            runOnOwnThread(
                this,
                [destination = m_destination, selected = m_selectedFolder, name,
                 bytes = *encoded.value, observe] {
                    const AlbumWriter::Added added = AlbumWriter::add(
                        destination, selected, name, bytes, writeAtomically, observe);
                    return added.album;
                },
                [this, write](const Outcome<QString>& written) {
                    if (!m_albumWrite.finish(write))
                        return; // abandoned: the person was already told
                    if (written.ok())
                        setMessage(QStringLiteral("Zapisano do ") + *written.value +
                                   QStringLiteral(". Wysuń dysk, przełącz Tovi w tryb DAC i "
                                                  "otwórz album przyciskiem Vista."));
                    else
                        setFailure(written.error, written.errorKind);
                    setBusy(false);
                });
        });
}

void StudioModel::stopWaiting() {
    if (!m_busy || !m_albumWrite.stopWaiting())
        return;
    setError(DeviceWatch::stoppedAlbumText(m_exportedURL));
    setMessage({});
    setBusy(false);
}

} // namespace tovi
