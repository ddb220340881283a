#pragma once

#include "app/background_task.h"
#include "device/device_finder.h"

#include <QObject>
#include <functional>
#include <memory>
#include <utility>

namespace tovi {

class MountWatcher;

// Follows the Tovi for a view that waits for one: the mount table is watched while the view is
// shown, and the Tovi is looked for (DeviceFinder::lookFor) on a device thread, since a disk that
// just appeared may not answer yet, or ever; only the places that answered come back. One look at
// a time: a look asked for while one is under way is asked for again by changed() once that one
// ends, and the overtaken answer is dropped. Interface thread.
class DevicePresence : public QObject {
    Q_OBJECT
public:
    // The root folders of the mounted volumes (DeviceFinder::mountedVolumes).
    using VolumeLister = std::function<QStringList()>;

    // What to look for: DeviceFinder::lookFor's question.
    struct Question {
        ToviTransferKind kind = ToviTransferKind::artwork;
        QString destination;
        QString album = QStringLiteral("Photo1");
        QByteArray rootBookmark;
    };

    explicit DevicePresence(QObject* parent = nullptr);
    ~DevicePresence() override;

    // Seam for tests; DeviceFinder::mountedVolumes by default.
    void setVolumeLister(VolumeLister lister);

    // Watches the mount table while `on`: each change is told by changed().
    void follow(bool on);
    bool following() const { return m_watcher != nullptr; }
    bool looking() const { return m_looking; }

    // Looks for what `question` asks on a device thread and, on the same thread, hands the
    // answer to `then` (a look that goes on to read the device is one piece of work); `done`
    // gets the outcome of `then` here. Returns false while another look is under way: nothing is
    // looked for now, and changed() asks again once that one ends.
    template <typename Then, typename Done> bool look(Question question, Then then, Done done);
    // The look under way is overtaken: its answer is dropped and changed() asks again once it
    // ends.
    void overtake() { m_lookAgain = true; }
    // The look under way is forgotten (the person stopped waiting for it): its answer is
    // dropped, and the next look begins at once.
    void abandon();

signals:
    // Disks came or went, or a look was overtaken: look again when it suits.
    void changed();

private:
    // Begins the next look; false, the one under way overtaken, while there is one.
    bool begin();
    // Whether the outcome of look `look` is still wanted; the look is over either way.
    bool end(quint64 look);

    VolumeLister m_volumes;
    std::unique_ptr<MountWatcher> m_watcher;
    quint64 m_look = 0;
    bool m_looking = false;
    bool m_lookAgain = false;
};

template <typename Then, typename Done>
bool DevicePresence::look(Question question, Then then, Done done) {
    if (!begin())
        return false;
    runOnOwnThread(
        this,
        [question = std::move(question), volumes = m_volumes ? m_volumes() : QStringList(),
         then = std::move(then)] {
            return then(DeviceFinder::lookFor(question.kind, question.destination, question.album,
                                              question.rootBookmark, volumes));
        },
        [this, look = m_look, done = std::move(done)](const auto& outcome) {
            if (end(look))
                done(outcome);
        });
    return true;
}

} // namespace tovi
