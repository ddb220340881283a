#include "app/file_descriptor.h"

#include "app/platform_error.h"

#include <cerrno>
#include <unistd.h>

namespace tovi {

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0)
        ::close(m_fd);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

void FileDescriptor::close(const QString& path) {
    if (m_fd >= 0 && ::close(release()) != 0 && errno != EINTR)
        throw PlatformError::fromErrno(errno, path);
}

void writeAll(int fd, const char* data, qint64 size, const QString& path) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, static_cast<size_t>(size));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            throw PlatformError::fromErrno(errno, path);
        }
        data += done;
        size -= done;
    }
}

} // namespace tovi
