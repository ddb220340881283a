#pragma once

#include "app/file_descriptor.h"

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace tovi {

// Tells when a file system is mounted or unmounted in this process's view. The kernel marks
// /proc/self/mountinfo with POLLPRI on every change, so nothing polls: the event loop wakes only
// then. Several changes in a row may be told once. Lives on the thread that made it (the
// interface thread) and watches only while it exists.
class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;

    // False when the mount table cannot be watched here (no /proc); nothing is then told.
    bool watching() const { return m_fd.valid(); }

signals:
    void changed();

private:
    FileDescriptor m_fd; // outlives the notifier on it
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tovi
