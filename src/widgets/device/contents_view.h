#pragma once

#include "device/device_contents_session.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tovi {

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
// on this computer, with what can be done to them, drawn from a DeviceContentsSession, which
// does the work; the view asks for files and folders and shows the thumbnails. Interface thread.
class DeviceContentsView : public QDialog {
    Q_OBJECT
public:
    // `backups` as DeviceContentsSession takes it.
    DeviceContentsView(Settings& settings, QString backups, QWidget* parent = nullptr);
    ~DeviceContentsView() override;

    // A view over `parent`, window-modal, deleted once closed, on the working folder's backups.
    static DeviceContentsView* openOver(Settings& settings, QWidget* parent);

    DeviceContentsSession& session() { return m_session; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Asks where to save the picture, then has the session copy it there.
    void save(const QString& album, const QString& name);
    void chooseDevice();
    // The sections, from the session (contents_view_sections.cpp).
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
    DeviceContentsSession m_session;

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
