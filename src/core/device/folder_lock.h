#pragma once

#include "app/file_descriptor.h"

#include <QString>

namespace tovi {

// An exclusive flock on a folder's own descriptor, held for the guard's lifetime, so that two
// writers of one device folder (two instances of the application, or the command line) take
// turns. No lock file is created. The constructor waits while another process holds the lock.
// Throws PlatformError when the folder cannot be opened (a symbolic link is refused). File
// systems without flock support are used unlocked: the callers' own checks still guard them.
class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool locked() const { return m_locked; }

private:
    FileDescriptor m_fd; // closing it releases the lock
    bool m_locked = false;
};

} // namespace tovi
