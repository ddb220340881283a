#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

namespace tovi {

// Notices a device that stopped answering. A removable disk can hang (a stuck USB bridge or FUSE
// mount) and keep a blocking call waiting for many minutes; the work that waits reports each
// step it finishes through beat(), and a silence longer than the patience makes stalled() true,
// so that the person can be told and offered to stop waiting. Interface thread.
class DeviceWatch : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultPatience{15000};

    explicit DeviceWatch(QObject* parent = nullptr);

    // Starts watching, or restarts the wait: stalled() turns true after the patience without a
    // beat().
    void start();
    // The device answered: the wait starts again and stalled() turns false. Ignored when not
    // watching.
    void beat();
    // Stops watching; stalled() turns false.
    void stop();
    bool watching() const { return m_timer.isActive() || m_stalled; }
    bool stalled() const { return m_stalled; }
    void setPatience(std::chrono::milliseconds patience);

    // Shown by the window and printed by tovi while the device is silent.
    static QString stalledText();
    // After the person stopped waiting for an installation whose backup goes to `backup`.
    static QString stoppedInstallText(const QString& backup);
    // After the person stopped waiting for an album write; `copy` is the graphic's local copy.
    static QString stoppedAlbumText(const QString& copy);

signals:
    void stalledChanged();

private:
    void setStalled(bool stalled);

    QTimer m_timer;
    bool m_stalled = false;
};

} // namespace tovi
