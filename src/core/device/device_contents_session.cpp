#include "device_contents_session.h"

#include "app/atomic_write.h"
#include "app/polish_format.h"
#include "app/settings.h"
#include "app/tovi_error.h"
#include "app/working_folder.h"
#include "device/device_watch.h"
#include "device/game1_installer.h"
#include "device/game_backup.h"
#include "device/scoped_access.h"

#include <QDir>
#include <utility>

namespace tovi {

namespace {

// The first of `places` (the folders the person chose, then what the finder found) that is a
// Tovi's, as its root; empty when none is.
QString firstRoot(QStringList places) {
    places.removeAll(QString());
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

DeviceContentsSession::DeviceContentsSession(Settings& settings, QString backups, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_backupsFolder(std::move(backups)) {
    connect(&m_job, &DeviceJob::stalledChanged, this, &DeviceContentsSession::stateChanged);
    connect(&m_presence, &DevicePresence::changed, this, &DeviceContentsSession::reload);
}

DeviceContentsSession::~DeviceContentsSession() = default;

void DeviceContentsSession::setVolumeLister(DevicePresence::VolumeLister lister) {
    m_presence.setVolumeLister(std::move(lister));
}

QString DeviceContentsSession::doing() const {
    if (m_busy)
        return m_doing;
    return looking() ? QStringLiteral("Szukam Tovi i odczytuję, co na nim jest…") : QString();
}

void DeviceContentsSession::follow(bool on) {
    m_presence.follow(on);
    if (!on)
        return;
    reload();
    readBackups();
}

void DeviceContentsSession::setError(const QString& error) {
    m_error = error;
    emit stateChanged();
}

void DeviceContentsSession::choose(const QString& folder) {
    m_chosen = folder;
    m_error.clear();
    reload();
}

template <typename Work, typename Done>
void DeviceContentsSession::runJob(const QString& doing, Work work, Done done) {
    m_busy = true;
    m_doing = doing;
    m_notice.clear();
    m_error.clear();
    const quint64 job = m_job.begin(true);
    emit stateChanged();
    // The work's steps belong to this job: made once it has begun.
    runOnOwnThread(this, work(m_job.step()),
                   [this, job, done = std::move(done)](const auto& outcome) {
                       if (!m_job.finish(job))
                           return; // abandoned: the person was already told
                       m_busy = false;
                       done(outcome);
                   });
}

AlbumRemoval::Observer DeviceContentsSession::removalObserver(DeviceJob::Step step) {
    m_removalAt.reset();
    m_stoppedText = [this] { return AlbumRemoval::stoppedText(m_removalAt); };
    return [this, step = std::move(step)](const AlbumRemoval::Progress& at) {
        return step([this, at] { m_removalAt = at; });
    };
}

void DeviceContentsSession::finishJob(const QString& notice, const QString& error) {
    m_notice = notice;
    m_error = error;
    m_stoppedText = {};
    reload();
}

std::optional<QString> DeviceContentsSession::kept() {
    try {
        return WorkingFolder::removedItems();
    } catch (const ToviError& failure) {
        m_notice.clear();
        setError(failure.message());
        return std::nullopt;
    }
}

void DeviceContentsSession::reload() {
    if (m_busy)
        return; // the work under way reloads when it ends
    if (looking()) {
        m_presence.overtake();
        return;
    }
    const quint64 job = m_job.begin(true);
    // The look-up and the reading on one device thread: a disk that just appeared may hang.
    m_presence.look(
        {ToviTransferKind::artwork,
         {},
         QStringLiteral("Photo1"),
         m_settings.bytes(Settings::rootPermission)},
        [chosen = QStringList{m_chosen, m_settings.string(Settings::destination),
                              m_settings.string(Settings::packsDestination)},
         step = m_job.step()](const DeviceFinder::Lookup& found) -> std::optional<DeviceContents> {
            const QString root = firstRoot(chosen + found.candidates);
            if (root.isEmpty())
                return std::nullopt;
            const ScopedAccess access(root);
            return DeviceContents::read(root, [step] { return step({}); });
        },
        [this, job](const Outcome<std::optional<DeviceContents>>& outcome) {
            if (!m_job.finish(job))
                return;
            m_contents = outcome.ok() ? *outcome.value : std::nullopt;
            if (!outcome.ok() && !outcome.cancelled && m_error.isEmpty())
                m_error = outcome.error;
            emit contentsChanged();
        });
    emit stateChanged();
}

void DeviceContentsSession::readBackups() {
    if (m_backupsFolder.isEmpty())
        return; // no working folder: its error is shown
    runInBackground(
        this, [folder = m_backupsFolder] { return BackupList::read(folder); },
        [this](const Outcome<std::vector<BackupList::Entry>>& outcome) {
            m_backups = outcome.ok() ? *outcome.value : std::vector<BackupList::Entry>();
            if (!outcome.ok() && m_error.isEmpty())
                m_error = outcome.error;
            emit contentsChanged();
        });
}

void DeviceContentsSession::remove(const QString& album, const QString& name) {
    if (busy() || !m_contents)
        return;
    const std::optional<QString> keep = kept();
    if (!keep)
        return;
    runJob(
        QStringLiteral("Usuwam ") + name + QStringLiteral(" z Tovi…"),
        [this, root = m_contents->root, album, name, keep = *keep](DeviceJob::Step step) {
            return [root, album, name, keep, observe = removalObserver(std::move(step))] {
                return AlbumRemoval::remove(root, album, name, keep, observe);
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

void DeviceContentsSession::undo() {
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

void DeviceContentsSession::move(const QString& album, const QString& name, const QString& to) {
    if (busy() || !m_contents)
        return;
    const std::optional<QString> keep = kept();
    if (!keep)
        return;
    runJob(
        QStringLiteral("Przenoszę ") + name + QStringLiteral(" do ") + to + QStringLiteral("…"),
        [this, root = m_contents->root, album, name, to, keep = *keep](DeviceJob::Step step) {
            return [root, album, name, to, keep, observe = removalObserver(std::move(step))] {
                return AlbumRemoval::move(root, album, name, to, keep, observe);
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
void DeviceContentsSession::undoMove() {
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

void DeviceContentsSession::save(const QString& album, const QString& name, const QString& target) {
    if (busy() || !m_contents)
        return;
    m_stoppedText = {};
    runJob(
        QStringLiteral("Zapisuję ") + name + QStringLiteral(" na komputerze…"),
        [source = m_contents->root + QLatin1Char('/') + album + QLatin1Char('/') + name,
         target](const DeviceJob::Step&) {
            return [source, target] {
                const ScopedAccess access(source);
                copyFile(source, target);
            };
        },
        [this, target](const Outcome<std::monostate>& outcome) {
            finishJob(outcome.ok() ? QStringLiteral("Zapisano: ") + QDir::toNativeSeparators(target)
                                   : QString(),
                      outcome.error);
        });
}

void DeviceContentsSession::restore(const BackupList::Entry& backup) {
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
            return [folder, root, backups = m_backupsFolder, observe] {
                const ScopedAccess access(root);
                return GameBackup::restore(folder, root, backups, Game1Installer::writeAtomically,
                                           observe);
            };
        },
        [this, date = PolishFormat::backupDate(backup.created)](const Outcome<QString>& outcome) {
            finishJob(outcome.ok() ? QStringLiteral("Przywrócono zestaw z kopii z %1 i "
                                                    "zweryfikowano zapis. Poprzedni zestaw "
                                                    "zachowano w kopii.")
                                         .arg(date)
                                   : QString(),
                      outcome.error);
            readBackups();
        });
}

void DeviceContentsSession::stopWaiting() {
    if (!m_job.stopWaiting())
        return;
    const QString stopped =
        m_stoppedText ? m_stoppedText()
                      : QStringLiteral("Przestano czekać na Tovi. Podłącz go ponownie, aby "
                                       "zobaczyć, co na nim jest.");
    m_busy = false;
    m_presence.abandon();
    m_contents.reset();
    m_error = stopped;
    m_stoppedText = {};
    emit contentsChanged();
}

} // namespace tovi
