#pragma once

// A POSIX file descriptor owned by one object: closed when it goes, on every path out of a
// scope. Where the result of close() matters (after writing: the data may not have reached the
// file) it is closed with close(), which says so.

#include <QString>

#include <utility>

namespace tovi {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes it now. Throws PlatformError naming `path` when close() reports a failure; an
    // interrupted close has closed the descriptor all the same.
    void close(const QString& path);

private:
    int m_fd = -1;
};

// Writes all `size` bytes of `data` to `fd`, going on after short and interrupted writes.
// Throws PlatformError naming `path`.
void writeAll(int fd, const char* data, qint64 size, const QString& path);

} // namespace tovi
