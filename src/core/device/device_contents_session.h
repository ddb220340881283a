#pragma once

#include "device/album_removal.h"
#include "device/backup_list.h"
#include "device/device_contents.h"
#include "device/device_job.h"
#include "device/device_presence.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace tovi {

class Settings;

// "Na Tovi" without its widgets: what is on the Tovi (its albums, Game1 and free space) and the
// backups of Game1 on this computer, and what can be done to them: take a picture off (a
// verified copy stays on the computer, "Cofnij" puts it back), move it to another album, save
// it, restore a backup. The Tovi is found and followed as the transfer sheet follows it
// (DevicePresence); everything that touches it runs on a device thread under one DeviceJob, one
// piece of work at a time. Interface thread.
class DeviceContentsSession : public QObject {
    Q_OBJECT
public:
    // `backups` is the folder of the local copies of Game1 (WorkingFolder::packBackups).
    DeviceContentsSession(Settings& settings, QString backups, QObject* parent = nullptr);
    ~DeviceContentsSession() override;

    // Seams for tests: the mounted volumes (DevicePresence) and how long the Tovi may be silent.
    void setVolumeLister(DevicePresence::VolumeLister lister);
    void setPatience(std::chrono::milliseconds patience) { m_job.setPatience(patience); }

    // What was read last; nothing while no Tovi is found.
    const std::optional<DeviceContents>& contents() const { return m_contents; }
    const std::vector<BackupList::Entry>& backups() const { return m_backups; }
    bool busy() const { return m_busy || looking(); }
    // The Tovi is looked for and read.
    bool looking() const { return m_presence.looking(); }
    bool stalled() const { return m_job.stalled(); }
    // While busy: what is being done, "Usuwam … z Tovi…".
    QString doing() const;
    const QString& notice() const { return m_notice; }
    const QString& error() const { return m_error; }
    // The last removal, while "Cofnij" may still put it back.
    const std::optional<AlbumRemoval::Removed>& removed() const { return m_removed; }
    // The last move, while "Cofnij" may still take it back.
    const std::optional<AlbumRemoval::Moved>& moved() const { return m_moved; }
    // Whether undo() would do something now.
    bool canUndo() const { return !busy() && (m_removed || m_moved) && m_contents; }

    // While `on` (the view is shown) disks that come and go are followed; turned on, the Tovi
    // and the backups are read.
    void follow(bool on);
    // Reads the Tovi again (after the work under way, if any).
    void reload();
    // A folder the person pointed at: tried first from now on.
    void choose(const QString& folder);
    void remove(const QString& album, const QString& name);
    // Puts back the last removal or takes back the last move, whichever came last.
    void undo();
    void move(const QString& album, const QString& name, const QString& to);
    // Copies the picture to `target` on this computer.
    void save(const QString& album, const QString& name, const QString& target);
    void restore(const BackupList::Entry& backup);
    void stopWaiting();
    // A failure of the view's own (a folder chooser) shown as the session's error.
    void setError(const QString& error);

signals:
    // The contents or the backups changed (or went).
    void contentsChanged();
    // Busy, stalled, the notice, the error or what undo() would do changed.
    void stateChanged();

private:
    // Begins a job with the session busy saying `doing` and runs the work that `work(step)`
    // makes on a device thread; `done` gets the outcome here unless the person stopped waiting.
    template <typename Work, typename Done> void runJob(const QString& doing, Work work, Done done);
    // What a removal or a move reports to: how far it got, for the text after a stop.
    AlbumRemoval::Observer removalObserver(DeviceJob::Step step);
    void finishJob(const QString& notice, const QString& error);
    void undoMove();
    void readBackups();
    // Where removed pictures are kept; nothing, with the error shown, when there is no such place.
    std::optional<QString> kept();

    Settings& m_settings;
    const QString m_backupsFolder;
    DeviceJob m_job;
    DevicePresence m_presence;
    std::optional<DeviceContents> m_contents;
    std::vector<BackupList::Entry> m_backups;
    QString m_chosen; // a folder the person pointed at, tried first
    bool m_busy = false;
    QString m_doing;
    QString m_notice;
    QString m_error;
    std::optional<AlbumRemoval::Removed> m_removed;
    std::optional<AlbumRemoval::Moved> m_moved;
    std::optional<AlbumRemoval::Progress> m_removalAt; // how far the removal under way got
    QString m_restoreBackup;                           // the backup the restore under way makes
    std::function<QString()> m_stoppedText;
};

} // namespace tovi
