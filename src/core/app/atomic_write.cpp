#include "atomic_write.h"

#include "app/file_descriptor.h"
#include "app/platform_error.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tovi {

namespace {

// ".<target name>.tovi-<8 hexadecimal digits>.tmp": made and recognised only here.
const QString leftoverTag = QStringLiteral(".tovi-");
const QString leftoverSuffix = QStringLiteral(".tmp");

QString temporaryName(const QString& target) {
    return QLatin1Char('.') + target + leftoverTag +
           QUuid::createUuid().toString(QUuid::Id128).left(8) + leftoverSuffix;
}

[[noreturn]] void fail(int error, const QString& path) {
    throw PlatformError::fromErrno(error, path);
}

QByteArray readAll(int fd, const QString& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(errno, path);
    if (S_ISDIR(info.st_mode))
        fail(EISDIR, path);
    QByteArray data;
    data.reserve(info.st_size > 0 ? static_cast<qsizetype>(info.st_size) : 0);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, path);
        }
        if (got == 0)
            return data;
        data.append(buffer, static_cast<qsizetype>(got));
    }
}

int openForReading(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno, path);
    return fd;
}

// A folder sync is not supported everywhere (some file systems answer EINVAL); there the rename
// is as durable as the file system makes it.
void syncFolder(const QString& folder, const QString& path) {
    FileDescriptor fd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        fail(errno, path);
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        fail(errno, path);
    fd.close(path);
}

void copyContents(int from, int to, const QString& target) {
    bool ranged = true;
    for (;;) {
        ssize_t moved = 0;
        if (ranged) {
            moved = ::copy_file_range(from, nullptr, to, nullptr, size_t(1) << 30, 0);
            if (moved < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                ranged = false;
                continue;
            }
        } else {
            char buffer[1 << 16];
            moved = ::read(from, buffer, sizeof buffer);
            if (moved > 0)
                writeAll(to, buffer, moved, target);
        }
        if (moved == 0)
            return;
        if (moved < 0 && errno != EINTR)
            throw PlatformError::fromErrno(errno, target);
    }
}

} // namespace

void atomicWrite(const QString& path, const QByteArray& data) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath();

    QString temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = folder + QLatin1Char('/') + temporaryName(target.fileName());
        fd = ::open(QFile::encodeName(temporary).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 8))
            fail(errno, path);
    }
    FileDescriptor file(fd);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    try {
        writeAll(file.get(), data.constData(), data.size(), path);
        if (::fsync(file.get()) != 0)
            fail(errno, path);
        file.close(path);
        if (::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0)
            fail(errno, path);
    } catch (...) {
        ::unlink(temporaryName.constData());
        throw;
    }
    syncFolder(folder, path);
}

void writeAtomically(const QByteArray& bytes, const QString& target) {
    atomicWrite(target, bytes);
}

bool isAtomicWriteLeftover(const QString& fileName) {
    static const QRegularExpression form(
        QStringLiteral("^\\..+") + QRegularExpression::escape(leftoverTag) +
        QStringLiteral("[0-9a-f]{8}") + QRegularExpression::escape(leftoverSuffix) +
        QLatin1Char('$'));
    return form.match(fileName).hasMatch();
}

QStringList folderEntries(const QString& folder) {
    const QByteArray encoded = QFile::encodeName(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(encoded.constData()), ::closedir);
    if (!listing)
        fail(errno, folder);
    QStringList names;
    errno = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << QFile::decodeName(name);
        errno = 0;
    }
    if (errno != 0)
        fail(errno, folder);
    return names;
}

QStringList removeAtomicWriteLeftovers(const QString& folder) {
    QStringList removed;
    for (const QString& name : folderEntries(folder)) {
        if (!isAtomicWriteLeftover(name))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        const QByteArray encodedPath = QFile::encodeName(path);
        struct stat info {};
        // Only a plain file of ours: a folder or a link of that name is someone else's.
        if (::lstat(encodedPath.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (::unlink(encodedPath.constData()) != 0)
            fail(errno, path);
        removed << name;
    }
    removed.sort();
    return removed;
}

void syncToDisk(const QString& path) {
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        fail(errno, path);
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        fail(errno, path);
}

void moveDurably(const QString& from, const QString& to, bool replace) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int moved = replace ? ::rename(source.constData(), target.constData())
                        : ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                                      RENAME_NOREPLACE);
    // A file system without the no-replace flag: look first (only our own folders get here).
    if (moved != 0 && errno == EINVAL && !replace) {
        struct stat info {};
        if (::lstat(target.constData(), &info) == 0)
            fail(EEXIST, to);
        moved = ::rename(source.constData(), target.constData());
    }
    if (moved != 0)
        fail(errno, errno == EEXIST || errno == ENOTEMPTY ? to : from);
    const QString fromFolder = QFileInfo(from).absolutePath();
    const QString toFolder = QFileInfo(to).absolutePath();
    syncFolder(toFolder, to);
    if (fromFolder != toFolder)
        syncFolder(fromFolder, from);
}

QByteArray readFile(const QString& path) {
    FileDescriptor fd(openForReading(path));
    return readAll(fd.get(), path);
}

QByteArray readBack(const QString& path) {
    FileDescriptor fd(openForReading(path));
    // Dirty pages cannot be dropped, so they are written out first. Neither call fails on a
    // healthy medium; where they are unsupported the read still sees what the file system has.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        fail(errno, path);
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
    return readAll(fd.get(), path);
}

void copyFile(const QString& source, const QString& target) {
    FileDescriptor from(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (!from.valid())
        throw PlatformError::fromErrno(errno, source);
    struct stat info {};
    if (::fstat(from.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw PlatformError::fromErrno(S_ISDIR(info.st_mode) ? EISDIR : errno, source);
    const QByteArray targetName = QFile::encodeName(target);
    FileDescriptor to(
        ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!to.valid())
        throw PlatformError::fromErrno(errno, target);
    try {
        copyContents(from.get(), to.get(), target);
        to.close(target);
    } catch (...) {
        ::unlink(targetName.constData());
        throw;
    }
}

void atomicWriteBy(const QString& path, const std::function<void(const QString&)>& make) {
    const QFileInfo target(path);
    const QString temporary =
        target.absolutePath() + QLatin1Char('/') + temporaryName(target.fileName());
    try {
        make(temporary);
        syncToDisk(temporary);
        moveDurably(temporary, path, true);
    } catch (...) {
        ::unlink(QFile::encodeName(temporary).constData());
        throw;
    }
}

} // namespace tovi
