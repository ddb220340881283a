#include "device_presence.h"

#include "device/mount_watcher.h"

namespace tovi {

DevicePresence::DevicePresence(QObject* parent)
    : QObject(parent)
    , m_volumes(&DeviceFinder::mountedVolumes) {}

DevicePresence::~DevicePresence() = default;

void DevicePresence::setVolumeLister(VolumeLister lister) {
    m_volumes = std::move(lister);
}

void DevicePresence::follow(bool on) {
    if (!on) {
        m_watcher.reset();
        return;
    }
    if (m_watcher)
        return;
    m_watcher = std::make_unique<MountWatcher>();
    connect(m_watcher.get(), &MountWatcher::changed, this, &DevicePresence::changed);
}

bool DevicePresence::begin() {
    if (m_looking) {
        overtake();
        return false;
    }
    m_looking = true;
    ++m_look;
    return true;
}

bool DevicePresence::end(quint64 look) {
    if (look != m_look || !m_looking)
        return false; // abandoned
    m_looking = false;
    if (std::exchange(m_lookAgain, false)) {
        emit changed();
        return false;
    }
    return true;
}

void DevicePresence::abandon() {
    m_looking = false;
    m_lookAgain = false;
    ++m_look;
}

} // namespace tovi
