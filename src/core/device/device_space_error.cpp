#include "device_space_error.h"

#include <cerrno>

#include "device/device_space.h"

namespace tovi {

QString DeviceSpaceError::message() const {
    return QStringLiteral("Na Tovi brakuje miejsca: potrzeba %1, wolne %2.")
        .arg(DeviceSpace::megabytes(m_needed, true), DeviceSpace::megabytes(m_free, false));
}

// The FUSE FAT driver answers a full disk with EPERM where the kernel's says ENOSPC; a permission
// error on a volume that has no room for the file and its folder's growth is taken for the same.
void DeviceSpaceError::rethrowIfFull(const PlatformError& error, const QString& folder,
                                     qint64 bytes) {
    const int code = error.errorNumber();
    const bool full = code == ENOSPC || code == EDQUOT || code == EFBIG;
    if (!full && code != EPERM && code != EACCES)
        return;
    DeviceSpace space;
    try {
        space = DeviceSpace::of(folder);
    } catch (const ToviError&) {
        return;
    }
    qint64 needed = space.allocated(bytes);
    if (!full && space.free >= needed + 2 * space.cluster)
        return;
    // Room for the file itself, none for the folder's next entry.
    if (needed <= space.free)
        needed += space.cluster;
    throw DeviceSpaceError(needed, space.free);
}

} // namespace tovi
