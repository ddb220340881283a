#pragma once

#include "device/album_removal.h"
#include "device/backup_list.h"
#include "device/device_contents.h"
#include "device/device_job.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tovi {

class MountWatcher;
class Settings;

// A picture of the device in a circle, as the Tovi's round display shows it, playing when it has
// frames; a tinted disc until they are decoded, a symbol for a file the Tovi cannot show.
class RoundThumbnail : public QWidget {
    Q_OBJECT
public:
    struct Frames {
        std::vector<QImage> images;
        std::vector<int> delays; // milliseconds, one per image
    };
    explicit RoundThumbnail(int side, QWidget* parent = nullptr);
    void setFrames(Frames frames);
    // No picture to show: the symbol `name` on the disc.
    void setSymbol(const QString& name);
    int frameCount() const { return int(m_frames.images.size()); }
    // Shows the frame due at `elapsed` milliseconds of the view's clock.
    void tick(qint64 elapsed);

    // Decodes at most `maxFrames` of `bytes` at `side` pixels within the decoders' budget; the
    // frames left out lengthen the ones kept. Any thread.
    static Frames decode(const QByteArray& bytes, int side, int maxFrames);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Frames m_frames;
    int m_total = 0; // milliseconds of one loop
    size_t m_shown = 0;
    QString m_symbol;
};

// "Na Tovi": what is on the device (its albums, Game1 and free space) and the backups of Game1
// on this computer, with what can be done to them: take a picture off (a verified copy stays on
// the computer, "Cofnij" puts it back), move it to another album, save it, restore a backup. The
// device is found and followed as the transfer sheet does; everything that touches it runs on a
// device thread under one DeviceJob. Interface thread.
class DeviceContentsView : public QDialog {
    Q_OBJECT
public:
    // The root folders of the mounted volumes (DeviceFinder::mountedVolumes).
    using VolumeLister = std::function<QStringList()>;

    explicit DeviceContentsView(Settings& settings, QWidget* parent = nullptr);
    ~DeviceContentsView() override;

    // Seam for tests; DeviceFinder::mountedVolumes by default.
    void setVolumeLister(VolumeLister lister);

    // What was read last; nothing while no Tovi is found.
    const std::optional<DeviceContents>& contents() const { return m_contents; }
    const std::vector<BackupList::Entry>& backups() const { return m_backups; }
    bool busy() const { return m_busy || m_looking; }
    bool stalled() const { return m_job.stalled(); }
    const QString& notice() const { return m_notice; }
    const QString& error() const { return m_error; }
    // The last removal, while "Cofnij" may still put it back.
    const std::optional<AlbumRemoval::Removed>& removed() const { return m_removed; }
    // The last move, while "Cofnij" may still take it back.
    const std::optional<AlbumRemoval::Moved>& moved() const { return m_moved; }

    // Reads the device again (after the work under way, if any).
    void reload();
    void remove(const QString& album, const QString& name);
    // Puts back the last removal or takes back the last move, whichever came last.
    void undo();
    void move(const QString& album, const QString& name, const QString& to);
    void save(const QString& album, const QString& name);
    void restore(const BackupList::Entry& backup);
    void stopWaiting();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Begins a job with "Na Tovi" busy saying `doing` and runs the work that `work(step)` makes
    // on a device thread; `done` gets the outcome on this thread unless the person stopped
    // waiting.
    template <typename Work, typename Done> void runJob(const QString& doing, Work work, Done done);
    // What a removal or a move reports to: how far it got, for the text after a stop.
    AlbumRemoval::Observer removalObserver(DeviceJob::Step step);
    void finishJob(const QString& notice, const QString& error);
    void undoMove();
    void readBackups();
    void chooseDevice();
    // "8 grudnia 2026, 17:20:05".
    static QString dateText(const BackupList::Entry& backup);
    // The sections, from the state (contents_view_sections.cpp).
    void build();
    void rebuild();
    void refreshStatus();
    QWidget* connectionCard();
    QWidget* spaceCard();
    QWidget* albumCard(const DeviceContents::Album& album);
    QWidget* pictureRow(const QString& album, const DevicePicture& picture);
    QWidget* cardsCard();
    QWidget* backupsCard();
    RoundThumbnail* thumbnail(const QString& path, const DevicePicture& picture, int side);
    // Thumbnails are read on a device thread and decoded on a worker, two at a time.
    void loadThumbnails();

    Settings& m_settings;
    VolumeLister m_volumes;
    DeviceJob m_job;
    std::unique_ptr<MountWatcher> m_mountWatcher;
    std::optional<DeviceContents> m_contents;
    std::vector<BackupList::Entry> m_backups;
    QString m_chosen; // a folder the person pointed at, tried first
    bool m_busy = false;
    bool m_looking = false;
    bool m_lookAgain = false;
    QString m_doing;
    QString m_notice;
    QString m_error;
    std::optional<AlbumRemoval::Removed> m_removed;
    std::optional<AlbumRemoval::Moved> m_moved;
    std::optional<AlbumRemoval::Progress> m_removalAt; // how far the removal under way got
    QString m_restoreBackup;                           // the backup the restore under way makes
    std::function<QString()> m_stoppedText;

    struct Pending {
        QPointer<RoundThumbnail> target;
        QString path;
    };
    std::deque<Pending> m_pending;
    std::vector<QPointer<RoundThumbnail>> m_moving; // the clock's thumbnails: more than a frame
    int m_loading = 0;
    QTimer m_clock;
    qint64 m_elapsed = 0;

    QVBoxLayout* m_sections = nullptr;
    QWidget* m_status = nullptr;
    QLabel* m_statusText = nullptr;
    QWidget* m_spinner = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_stopWaiting = nullptr;
    QLabel* m_stallText = nullptr;
};

} // namespace tovi
