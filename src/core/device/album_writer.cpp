#include "album_writer.h"

#include "app/tovi_error.h"
#include "device/device_layout.h"
#include "device/folder_lock.h"
#include "device/scoped_access.h"
#include "media/media_error.h"

#include <QDir>

namespace tovi::AlbumWriter {

Added add(const QString& destination, const QString& selected, const QString& name,
          const QByteArray& bytes, const FileWriter& write, const Observer& observe) {
    const ScopedAccess access(destination);
    const QString album = DeviceLayout::photoFolder(destination, selected);
    // Two writers of one album take turns; the new name is never replaced.
    const FolderLock lock(album);
    Added added{DeviceLayout::lastComponent(album), removeAtomicWriteLeftovers(album)};
    if (observe && !observe(added))
        throw Cancelled();
    const QString target = QDir(album).filePath(name);
    write(bytes, target);
    if (readBack(target) != bytes)
        throw MediaError(MediaError::encode);
    if (observe)
        observe(Added{added.album, {}});
    return added;
}

} // namespace tovi::AlbumWriter
