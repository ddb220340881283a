#include "folder_lock.h"

#include "app/platform_error.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace tovi {

FolderLock::FolderLock(const QString& folder) {
    m_fd = FileDescriptor(::open(QFile::encodeName(folder).constData(),
                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!m_fd.valid())
        throw PlatformError::fromErrno(errno, folder);
    int result = 0;
    do {
        result = ::flock(m_fd.get(), LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_locked = true;
        return;
    }
    const int error = errno;
    if (error == ENOLCK || error == EOPNOTSUPP || error == EINVAL)
        return;
    throw PlatformError::fromErrno(error, folder);
}

} // namespace tovi
