#pragma once

#include <QByteArray>
#include <QString>

namespace tovi {

// A remembered folder that survives restarts and remounts: opaque bytes holding the path and the
// identity of the folder (device and inode) and of its volume (UUID, label or FAT serial where
// one can be found), plus the folder's place inside that volume. Any thread.
class Bookmark {
public:
    enum class Status {
        fresh,       // the folder is where it was made, or its volume is mounted elsewhere now
        stale,       // the path now holds another folder
        unresolvable // nothing matches (or the bytes are not a bookmark)
    };
    struct Resolved {
        Status status = Status::unresolvable;
        QString path; // where the folder (or, for a stale bookmark, a candidate) is; empty if none
    };

    // The bookmark of an existing folder. Throws PlatformError when it cannot be examined or is
    // not a folder.
    static QByteArray make(const QString& folder);

    // Never throws. A volume found mounted at another place resolves, fresh, to the folder's
    // path under the new mount point.
    static Resolved resolve(const QByteArray& data);
};

} // namespace tovi
