#include "album_writer.h"

#include "app/platform_error.h"
#include "app/tovi_error.h"
#include "device/device_layout.h"
#include "device/device_space.h"
#include "device/device_space_error.h"
#include "device/folder_lock.h"
#include "device/scoped_access.h"
#include "media/media_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <sys/stat.h>

namespace tovi::AlbumWriter {

namespace {

// True when an item of that name is there (on FAT, in any case); throws when it cannot be told.
bool taken(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0)
        return true;
    if (errno != ENOENT)
        throw PlatformError::fromErrno(errno, path);
    return false;
}

} // namespace

QString freshName(const QString& suffix) {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return QStringLiteral("tovi-") + uuid.left(8) + QLatin1Char('.') + suffix;
}

Added add(const QString& destination, const QString& selected, const QString& name,
          const QByteArray& bytes, const FileWriter& write, const Observer& observe) {
    const ScopedAccess access(destination);
    const QString album = DeviceLayout::photoFolder(destination, selected);
    // Two writers of one album take turns; nothing in it is ever replaced.
    const FolderLock lock(album);
    Added added{DeviceLayout::lastComponent(album), removeAtomicWriteLeftovers(album), name};
    if (observe && !observe(added))
        throw Cancelled();
    QString target = QDir(album).filePath(name);
    while (taken(target)) {
        added.name = freshName(QFileInfo(name).suffix().toLower());
        target = QDir(album).filePath(added.name);
    }
    DeviceSpace::require(album, bytes.size());
    try {
        write(bytes, target);
    } catch (const PlatformError& error) {
        DeviceSpaceError::rethrowIfFull(error, album, bytes.size());
        throw;
    }
    if (readBack(target) != bytes)
        throw MediaError(MediaError::encode);
    if (observe)
        observe(Added{added.album, {}, added.name});
    return added;
}

} // namespace tovi::AlbumWriter
