#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace tovi {

// One mounted file system, as /proc/self/mountinfo lists it.
struct Mount {
    dev_t device = 0;   // st_dev of every file on it
    QString root;       // the folder of the file system that is mounted (not "/" for bind mounts)
    QString mountPoint; // where it is mounted
    QString type;       // "vfat", "ext4", "fuse.fusefat"…
    QString source;     // "/dev/sdb1", an image file, or a name such as "tmpfs"
};

// The mounts of this process and the identity of the volumes behind them. Reads the system's
// tables on each call (no caching: disks come and go). Any thread.
class MountTable {
public:
    static std::vector<Mount> read();
    static std::vector<Mount> parse(const QByteArray& mountinfo);

    // The mount that holds the existing `path`: same device, longest mount point above the path.
    static std::optional<Mount> containing(const QString& path, const std::vector<Mount>& mounts);

    // A text naming the volume behind `mount` that survives unmounting and mounting elsewhere:
    // "uuid:…" or "label:…" from /dev/disk, or "fat:XXXX-XXXX" from the boot sector of a FAT
    // image or disk that can be read. Empty when nothing identifies it.
    static QString volumeId(const Mount& mount);

    // Whether inode numbers on this kind of file system survive a remount (FAT's do not).
    static bool keepsInodes(const QString& type);
};

} // namespace tovi
