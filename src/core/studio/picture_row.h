#pragma once

#include "app/tovi_error.h"
#include "device/album_row.h"
#include "device/device_job.h"
#include "media/media_types.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace tovi {

class MediaCopy;
class StudioModel;

// Several pictures of "Grafika" in the order they were given, each with its own settings, one of
// them in the editor (the studio model) at a time, and their one send to an album: the whole row
// measured first (AlbumRow), then exported and written one by one. A row holds a private copy of
// each file and a small thumbnail, never its decoded picture: the one selected is inspected again
// when it goes into the editor. Interface thread; the work runs on the worker and device pools.
// Fields that the transfer sheet follows are named as the model's (busy, message, error…).
class PictureRow : public QObject {
    Q_OBJECT
public:
    static constexpr int thumbnailSize = 96;

    struct Item {
        QString label; // the file's name
        std::shared_ptr<MediaCopy> copy;
        MediaInfo media; // without its frame
        QImage thumbnail;
        ExportOptions options;
        bool chosen = false; // has been in the editor: its options are its own
    };
    // One picture's outcome in the last send, with what "Ponów" needs.
    struct Line {
        AlbumRow::Result result;
        std::shared_ptr<MediaCopy> copy;
        ExportOptions options;
    };

    explicit PictureRow(StudioModel& model, QObject* parent = nullptr);
    ~PictureRow() override;

    int count() const { return int(m_items.size()); }
    const Item& item(int index) const { return m_items[size_t(index)]; }
    int selected() const { return m_selected; }
    // Its options as the row would send them: the editor's for the one shown.
    ExportOptions optionsOf(int index) const;

    // Chosen or dropped files. With no row, one file is imported into the editor as ever and
    // several start a new row; with a row, they join its end. Files that cannot be read are left
    // out and named in the model's error. Ignored while busy.
    void add(const QStringList& files);
    // Shows the picture in the editor, keeping the settings of the one shown before. The first
    // time: the settings of the picture before it, its crop centred.
    void select(int index);
    // Moves a picture to another place in the order; the selection stays with the same picture.
    void move(int from, int to);
    // Takes a picture out; the one after it (or before) takes the selection. A row keeps at
    // least one picture.
    void remove(int index);

    // The send of every picture to the model's destination and album: nothing is written unless
    // the whole row fits. Ignored while busy, with no row or with the model busy.
    void send();
    // "Przerwij": stops after the picture being exported or written.
    void stop();
    // "Ponów": sends the picture of lines()[index] again.
    void retry(int index);
    // The outcome of the last send, a line a picture, in the row's order.
    const std::vector<Line>& lines() const { return m_lines; }
    // The Tovi was gone before the last send ended.
    bool deviceGone() const { return m_gone; }
    // Every picture of the last send is on the Tovi (retries included).
    bool allWritten() const;

    bool busy() const { return m_importing || m_sending; }
    bool sending() const { return m_sending; }
    const QString& message() const { return m_message; }
    const QString& error() const { return m_error; }
    FailureKind errorKind() const { return m_errorKind; }
    const QString& destination() const;
    bool stalled() const { return m_job.stalled(); }
    void clearError();
    void stopWaiting();
    void setPatience(std::chrono::milliseconds patience) { m_job.setPatience(patience); }

    // Called on the device thread before picture `index` of a send is written: where tests pull
    // the Tovi out or fill it up.
    using Between = std::function<void(int index)>;
    void setBetweenPictures(Between between) { m_between = std::move(between); }

    // "Wyślij na Tovi (10)", or the single send's button for less than a row.
    QString sendLabel() const;
    // "Obraz 3 z 10: plaża.jpg".
    QString spokenName(int index) const;

signals:
    void changed(); // items, order or selection
    void busyChanged();
    void messageChanged();
    void errorChanged();
    void destinationChanged();
    void stalledChanged();
    void linesChanged();

private:
    struct Job;
    void importNext();
    void dropLines();
    void keepShownOptions();
    void show(int index);
    void run(std::vector<Job> jobs, std::vector<int> places);
    void finish();
    void setSending(bool sending);
    void setImporting(bool importing);
    void setMessage(const QString& message);
    void setFailure(const QString& error, FailureKind kind);
    int indexOf(const MediaCopy* copy) const;

    StudioModel& m_model;
    std::vector<Item> m_items;
    int m_selected = -1;
    const MediaCopy* m_shown = nullptr; // the copy the editor shows, when it is one of ours
    quint64 m_showing = 0;              // the newest select, whose picture is on its way
    QStringList m_pending;              // files still to import, in order
    QStringList m_unreadable;           // what they said, for the error
    bool m_newRow = false;              // the import started a new row
    bool m_importing = false;
    bool m_sending = false;
    bool m_gone = false;
    std::shared_ptr<std::atomic<bool>> m_stop;
    std::vector<Line> m_lines;
    QString m_message;
    QString m_error;
    FailureKind m_errorKind = FailureKind::other;
    DeviceJob m_job;
    Between m_between;
};

} // namespace tovi
