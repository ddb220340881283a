#include "device_space.h"

#include "app/platform_error.h"
#include "app/polish_format.h"
#include "device/device_space_error.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace tovi {

DeviceSpace DeviceSpace::of(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct statvfs volume {};
    struct stat info {};
    if (::statvfs(path.constData(), &volume) != 0 || ::stat(path.constData(), &info) != 0)
        throw PlatformError::fromErrno(errno, folder);
    const auto unit = static_cast<qint64>(volume.f_frsize ? volume.f_frsize : volume.f_bsize);
    DeviceSpace space;
    space.free = static_cast<qint64>(volume.f_bavail) * unit;
    space.total = static_cast<qint64>(volume.f_blocks) * unit;
    // FAT drivers give the cluster as a file's preferred I/O size; the FUSE one counts the
    // volume's blocks in kilobytes, smaller than what a file really takes.
    space.cluster = std::max<qint64>({1, unit, static_cast<qint64>(info.st_blksize)});
    return space;
}

qint64 DeviceSpace::allocated(qint64 bytes) const {
    return (std::max<qint64>(bytes, 0) + cluster - 1) / cluster * cluster;
}

void DeviceSpace::require(const QString& folder, qint64 bytes) {
    const DeviceSpace space = of(folder);
    if (space.allocated(bytes) > space.free)
        throw DeviceSpaceError(space.allocated(bytes), space.free);
}

QString DeviceSpace::megabytes(qint64 bytes, bool up) {
    const double tenths = static_cast<double>(bytes) / 100000.0;
    const double shown = (up ? std::ceil(tenths) : std::floor(tenths)) / 10.0;
    return PolishFormat::locale().toString(shown, 'f', 1) + QStringLiteral(" MB");
}

QString DeviceSpace::fileSize(qint64 bytes) {
    if (bytes < 1000000)
        return PolishFormat::locale().toString((bytes + 999) / 1000) + QStringLiteral(" kB");
    return megabytes(bytes, true);
}

QString DeviceSpace::freeText() const {
    return QStringLiteral("Wolne: ") + megabytes(free, false) + QStringLiteral(" z ") +
           megabytes(total, false);
}

} // namespace tovi
