#include "contents_view.h"

#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/settings.h"
#include "app/working_folder.h"
#include "device/device_finder.h"
#include "device/device_watch.h"
#include "device/game_backup.h"
#include "device/mount_watcher.h"
#include "device/scoped_access.h"
#include "packs/packs_model.h"
#include "shell/file_chooser.h"
#include "shell/work_area.h"

#include <QDir>
#include <QHideEvent>
#include <QLocale>
#include <QShowEvent>
#include <utility>

namespace tovi {

namespace {

constexpr int loadingAtOnce = 2;
constexpr qint64 largestThumbnailFile = 16 * 1000 * 1000;

// Where the device is: a folder the person chose (here, or for a send), else what DeviceFinder
// finds; empty when none is a Tovi.
QString findRoot(const QStringList& chosen, const QByteArray& bookmark,
                 const QStringList& volumes) {
    QStringList places = chosen;
    places.removeAll(QString());
    places << DeviceFinder::lookFor(ToviTransferKind::artwork, {}, QStringLiteral("Photo1"),
                                    bookmark, volumes)
                  .candidates;
    for (const QString& place : places) {
        try {
            const ScopedAccess access(place);
            return DeviceContents::rootOf(place);
        } catch (const ToviError&) {
            // not this one
        }
    }
    return {};
}

} // namespace

DeviceContentsView::DeviceContentsView(Settings& settings, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_volumes(&DeviceFinder::mountedVolumes) {
    setWindowTitle(QStringLiteral("Na Tovi"));
    setAccessibleName(QStringLiteral("Na Tovi"));
    setWindowModality(Qt::WindowModal);
    WorkArea::fitSheet(this, {760, 720});
    setAutoFillBackground(true);
    connect(&m_job, &DeviceJob::stalledChanged, this, &DeviceContentsView::refreshStatus);
    m_clock.setInterval(40);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        m_elapsed += m_clock.interval();
        for (const QPointer<RoundThumbnail>& shown : m_moving)
            if (shown && !shown->visibleRegion().isEmpty())
                shown->tick(m_elapsed);
    });
    build();
}

DeviceContentsView::~DeviceContentsView() = default;

void DeviceContentsView::setVolumeLister(VolumeLister lister) {
    m_volumes = std::move(lister);
}

template <typename Work, typename Done>
void DeviceContentsView::runJob(const QString& doing, Work work, Done done) {
    m_busy = true;
    m_doing = doing;
    m_notice.clear();
    m_error.clear();
    const quint64 job = m_job.begin(true);
    refreshStatus();
    // The work's steps belong to this job: made once it has begun.
    runOnOwnThread(this, work(m_job.step()),
                   [this, job, done = std::move(done)](const auto& outcome) {
                       if (!m_job.finish(job))
                           return; // abandoned: the person was already told
                       m_busy = false;
                       done(outcome);
                   });
}

AlbumRemoval::Observer DeviceContentsView::removalObserver(DeviceJob::Step step) {
    m_removalAt.reset();
    m_stoppedText = [this] { return AlbumRemoval::stoppedText(m_removalAt); };
    return [this, step = std::move(step)](const AlbumRemoval::Progress& at) {
        return step([this, at] { m_removalAt = at; });
    };
}

void DeviceContentsView::finishJob(const QString& notice, const QString& error) {
    m_notice = notice;
    m_error = error;
    m_stoppedText = {};
    reload();
}

void DeviceContentsView::reload() {
    if (m_busy)
        return; // the work under way reloads when it ends
    if (m_looking) {
        m_lookAgain = true;
        return;
    }
    m_looking = true;
    const quint64 job = m_job.begin(true);
    refreshStatus();
    // The look-up and the reading on one device thread: a disk that just appeared may hang.
    runOnOwnThread(
        this,
        [chosen = QStringList{m_chosen, m_settings.string(Settings::destination),
                              m_settings.string(Settings::packsDestination)},
         bookmark = m_settings.bytes(Settings::rootPermission),
         volumes = m_volumes ? m_volumes() : QStringList(),
         step = m_job.step()]() -> std::optional<DeviceContents> {
            const QString root = findRoot(chosen, bookmark, volumes);
            if (root.isEmpty())
                return std::nullopt;
            const ScopedAccess access(root);
            return DeviceContents::read(root, [step] { return step({}); });
        },
        [this, job](const Outcome<std::optional<DeviceContents>>& outcome) {
            if (!m_job.finish(job))
                return;
            m_looking = false;
            if (std::exchange(m_lookAgain, false)) {
                reload();
                return;
            }
            m_contents = outcome.ok() ? *outcome.value : std::nullopt;
            if (!outcome.ok() && !outcome.cancelled && m_error.isEmpty())
                m_error = outcome.error;
            rebuild();
        });
}

void DeviceContentsView::readBackups() {
    runInBackground(
        this, [] { return BackupList::read(PacksModel::backups()); },
        [this](const Outcome<std::vector<BackupList::Entry>>& outcome) {
            m_backups = outcome.ok() ? *outcome.value : std::vector<BackupList::Entry>();
            if (!outcome.ok() && m_error.isEmpty())
                m_error = outcome.error;
            rebuild();
        });
}

void DeviceContentsView::remove(const QString& album, const QString& name) {
    if (busy() || !m_contents)
        return;
    runJob(
        QStringLiteral("Usuwam ") + name + QStringLiteral(" z Tovi…"),
        [this, root = m_contents->root, album, name](DeviceJob::Step step) {
            return [root, album, name, kept = WorkingFolder::removedItems(),
                    observe = removalObserver(std::move(step))] {
                return AlbumRemoval::remove(root, album, name, kept, observe);
            };
        },
        [this](const Outcome<AlbumRemoval::Removed>& outcome) {
            m_removed = outcome.value;
            m_moved.reset(); // "Cofnij" is for the last of them
            finishJob(outcome.ok() ? QStringLiteral("Usunięto %1 z %2. Sprawdzona kopia: %3")
                                         .arg(m_removed->name, m_removed->album,
                                              QDir::toNativeSeparators(m_removed->copy))
                                   : QString(),
                      outcome.error);
        });
}

void DeviceContentsView::undo() {
    if (busy() || !m_contents)
        return;
    if (m_moved) {
        undoMove();
        return;
    }
    if (!m_removed)
        return;
    const AlbumRemoval::Removed removed = *m_removed;
    m_stoppedText = [copy = removed.copy] { return DeviceWatch::stoppedAlbumText(copy); };
    runJob(
        QStringLiteral("Przywracam ") + removed.name + QStringLiteral("…"),
        [root = m_contents->root, removed](DeviceJob::Step step) {
            return [root, removed, step] {
                return AlbumRemoval::undo(root, removed, [step](const auto&) { return step({}); });
            };
        },
        [this, removed](const Outcome<QString>& outcome) {
            if (outcome.ok())
                m_removed.reset();
            finishJob(outcome.ok() ? QStringLiteral("%1 wrócił do %2; zapis zweryfikowany.")
                                         .arg(*outcome.value, removed.album)
                                   : QString(),
                      outcome.error);
        });
}

void DeviceContentsView::move(const QString& album, const QString& name, const QString& to) {
    if (busy() || !m_contents)
        return;
    runJob(
        QStringLiteral("Przenoszę ") + name + QStringLiteral(" do ") + to + QStringLiteral("…"),
        [this, root = m_contents->root, album, name, to](DeviceJob::Step step) {
            return [root, album, name, to, kept = WorkingFolder::removedItems(),
                    observe = removalObserver(std::move(step))] {
                return AlbumRemoval::move(root, album, name, to, kept, observe);
            };
        },
        [this, to](const Outcome<AlbumRemoval::Moved>& outcome) {
            m_removed.reset();
            // Nothing to take back from a move that failed, or found the picture already there.
            m_moved = outcome.ok() && !outcome.value->removed.copy.isEmpty() ? outcome.value
                                                                             : std::nullopt;
            finishJob(outcome.ok() ? QStringLiteral("Przeniesiono do %1 jako %2. Sprawdzona "
                                                    "kopia: %3")
                                         .arg(to, outcome.value->name,
                                              QDir::toNativeSeparators(outcome.value->removed.copy))
                                   : QString(),
                      outcome.error);
        });
}

// The way back of a move runs as a removal's "Cofnij" does, the copy kept by the move at hand.
void DeviceContentsView::undoMove() {
    const AlbumRemoval::Moved moved = *m_moved;
    m_stoppedText = [copy = moved.removed.copy] { return DeviceWatch::stoppedAlbumText(copy); };
    runJob(
        QStringLiteral("Przenoszę ") + moved.name + QStringLiteral(" z powrotem do ") +
            moved.removed.album + QStringLiteral("…"),
        [root = m_contents->root, moved](DeviceJob::Step step) {
            return [root, moved, step] {
                return AlbumRemoval::undoMove(root, moved,
                                              [step](const auto&) { return step({}); });
            };
        },
        [this, album = moved.removed.album](const Outcome<QString>& outcome) {
            if (outcome.ok())
                m_moved.reset();
            finishJob(outcome.ok() ? QStringLiteral("%1 wrócił do %2; zapis zweryfikowany.")
                                         .arg(*outcome.value, album)
                                   : QString(),
                      outcome.error);
        });
}

void DeviceContentsView::save(const QString& album, const QString& name) {
    if (busy() || !m_contents)
        return;
    const std::optional<QString> target = FileChooser::saveAs(this, m_settings, name);
    if (!target)
        return;
    m_stoppedText = {};
    runJob(
        QStringLiteral("Zapisuję ") + name + QStringLiteral(" na komputerze…"),
        [source = m_contents->root + QLatin1Char('/') + album + QLatin1Char('/') + name,
         target = *target](const DeviceJob::Step&) {
            return [source, target] {
                const ScopedAccess access(source);
                copyFile(source, target);
            };
        },
        [this, target = *target](const Outcome<std::monostate>& outcome) {
            finishJob(outcome.ok() ? QStringLiteral("Zapisano: ") + QDir::toNativeSeparators(target)
                                   : QString(),
                      outcome.error);
        });
}

void DeviceContentsView::restore(const BackupList::Entry& backup) {
    if (busy() || !m_contents)
        return;
    m_restoreBackup.clear();
    m_stoppedText = [this] { return DeviceWatch::stoppedInstallText(m_restoreBackup); };
    runJob(
        QStringLiteral("Zachowuję kopię obecnego zestawu i przywracam wybrany…"),
        [this, folder = backup.folder, root = m_contents->root](DeviceJob::Step step) {
            const Game1Installer::Observer observe = [this, step](const auto& at) {
                return step([this, backup = at.backup] { m_restoreBackup = backup; });
            };
            return [folder, root, observe] {
                const ScopedAccess access(root);
                return GameBackup::restore(folder, root, PacksModel::backups(),
                                           Game1Installer::writeAtomically, observe);
            };
        },
        [this, date = dateText(backup)](const Outcome<QString>& outcome) {
            finishJob(outcome.ok() ? QStringLiteral("Przywrócono zestaw z kopii z %1 i "
                                                    "zweryfikowano zapis. Poprzedni zestaw "
                                                    "zachowano w kopii.")
                                         .arg(date)
                                   : QString(),
                      outcome.error);
            readBackups();
        });
}

void DeviceContentsView::stopWaiting() {
    if (!m_job.stopWaiting())
        return;
    const QString stopped =
        m_stoppedText ? m_stoppedText()
                      : QStringLiteral("Przestano czekać na Tovi. Podłącz go ponownie, aby "
                                       "zobaczyć, co na nim jest.");
    m_busy = false;
    m_looking = false;
    m_contents.reset();
    m_error = stopped;
    m_stoppedText = {};
    rebuild();
}

void DeviceContentsView::chooseDevice() {
    try {
        if (const std::optional<QString> folder = FileChooser::deviceFolder(this)) {
            m_chosen = *folder;
            m_error.clear();
            reload();
        }
    } catch (const ToviError& failure) {
        m_error = failure.message();
        refreshStatus();
    }
}

void DeviceContentsView::loadThumbnails() {
    while (m_loading < loadingAtOnce && !m_pending.empty()) {
        Pending next = m_pending.front();
        m_pending.pop_front();
        if (!next.target)
            continue;
        ++m_loading;
        const int side = int(next.target->width() * next.target->devicePixelRatioF());
        // Read where the device's work runs; decoded where previews decode.
        runOnOwnThread(
            this,
            [path = next.path] {
                if (QFileInfo(path).size() > largestThumbnailFile)
                    return QByteArray();
                return readFile(path);
            },
            [this, target = next.target, side](const Outcome<QByteArray>& read) {
                if (!read.ok() || read.value->isEmpty()) {
                    --m_loading;
                    loadThumbnails();
                    return;
                }
                runInBackground(
                    this,
                    [bytes = *read.value, side] { return RoundThumbnail::decode(bytes, side, 24); },
                    [this, target](const Outcome<RoundThumbnail::Frames>& decoded) {
                        if (target && decoded.ok()) {
                            target->setFrames(*decoded.value);
                            if (target->frameCount() > 1)
                                m_moving.push_back(target);
                        }
                        --m_loading;
                        loadThumbnails();
                    });
            });
    }
}

void DeviceContentsView::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_mountWatcher = std::make_unique<MountWatcher>();
        connect(m_mountWatcher.get(), &MountWatcher::changed, this, &DeviceContentsView::reload);
        reload();
        readBackups();
        m_clock.start();
    }
    QDialog::showEvent(event);
}

void DeviceContentsView::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_mountWatcher.reset();
        m_clock.stop();
    }
    QDialog::hideEvent(event);
}

} // namespace tovi
