#include "mount_watcher.h"

#include <QSocketNotifier>

#include <fcntl.h>

namespace tovi {

MountWatcher::MountWatcher(QObject* parent)
    : QObject(parent)
    , m_fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {
    if (!m_fd.valid())
        return;
    // The kernel signals a change as an exceptional condition (POLLPRI) and clears it once that
    // poll has reported it; the file itself never needs to be read here.
    m_notifier = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Exception);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &MountWatcher::changed);
}

MountWatcher::~MountWatcher() = default;

} // namespace tovi
