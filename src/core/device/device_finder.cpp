#include "device_finder.h"

#include "device/device_layout.h"
#include "device/game1_installer.h"
#include "device/mount_table.h"
#include "device/scoped_access.h"
#include "device/tovi_connection_store.h"

#include <QDir>
#include <set>

namespace tovi::DeviceFinder {

QString folderFor(ToviTransferKind kind, const QString& chosen, const QString& album) {
    if (kind == ToviTransferKind::artwork)
        return DeviceLayout::photoFolder(chosen, album);
    return Game1Installer::folder(chosen);
}

bool usable(ToviTransferKind kind, const QString& folder, const QString& album) {
    if (folder.isEmpty())
        return false;
    const ScopedAccess access(folder);
    try {
        folderFor(kind, folder, album);
        return true;
    } catch (...) {
        // Whatever went wrong, the place is not usable; the person is shown how to connect.
        return false;
    }
}

Lookup lookFor(ToviTransferKind kind, const QString& destination, const QString& album,
               const QByteArray& rootBookmark, const QStringList& volumes) {
    Lookup found;
    found.ready = usable(kind, destination, album);
    if (found.ready)
        return found;
    if (const auto root = ToviConnectionStore::resolve(rootBookmark);
        root && usable(kind, *root, album))
        found.candidates << *root;
    // Nothing remembered works, but a single attached Tovi disk leaves no choice to make.
    QStringList devices;
    for (const QString& volume : volumes)
        if (DeviceLayout::holdsAll(volume, DeviceLayout::rootNames()))
            devices << QDir::cleanPath(volume);
    devices.removeDuplicates();
    if (devices.size() == 1 && usable(kind, devices.front(), album))
        found.candidates << devices.front();
    return found;
}

QStringList mountedVolumes() {
    QStringList volumes;
    std::set<dev_t> seen;
    for (const Mount& mount : MountTable::read()) {
        // Disks only, each once: looking into network or virtual file systems could hang or
        // wake things up, and a bind mount shows only part of a volume.
        if (!mount.source.startsWith(QStringLiteral("/dev/")) || mount.root != QStringLiteral("/"))
            continue;
        if (seen.insert(mount.device).second)
            volumes << mount.mountPoint;
    }
    return volumes;
}

} // namespace tovi::DeviceFinder
