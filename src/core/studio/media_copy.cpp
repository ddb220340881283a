#include "media_copy.h"

#include "app/atomic_write.h"
#include "app/file_descriptor.h"
#include "app/platform_error.h"
#include "app/working_folder.h"
#include "device/scoped_access.h"
#include "media/media_processor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovi {
namespace {

// A file created in the last minute may belong to an import that has not locked it yet.
constexpr time_t youngSeconds = 60;

} // namespace

std::shared_ptr<MediaCopy> MediaCopy::make(const QString& source, const QString& target) {
    copyFile(source, target);
    // The copy is young until the lock is on, so no cleanup takes it in between.
    FileDescriptor fd(
        ::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) {
        const int error = errno;
        QFile::remove(target);
        throw PlatformError::fromErrno(error, target);
    }
    ::flock(fd.get(), LOCK_SH);
    return std::shared_ptr<MediaCopy>(new MediaCopy(target, std::move(fd)));
}

std::shared_ptr<MediaCopy> MediaCopy::adopt(const QString& path) {
    FileDescriptor fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid())
        return nullptr;
    struct stat info {};
    // Exclusive first, to learn that nobody else holds it; then shared, as make() leaves it.
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::flock(fd.get(), LOCK_SH) != 0)
        return nullptr;
    return std::shared_ptr<MediaCopy>(new MediaCopy(path, std::move(fd)));
}

bool MediaCopy::isCopyName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{"
                       "12}(\\.[^/]*)?$"));
    return pattern.match(name).hasMatch();
}

void MediaCopy::removeStale(const QString& folder, const QString& keep) {
    const QDir dir(folder);
    const time_t now = std::time(nullptr);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!isCopyName(name) || name == keep)
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const FileDescriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.valid())
            continue;
        struct stat info {};
        if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
            now - info.st_mtime >= youngSeconds && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
    }
}

MediaCopy::MediaCopy(QString path, FileDescriptor fd)
    : m_path(std::move(path))
    , m_fd(std::move(fd)) {}

void MediaCopy::remove() {
    ::unlink(QFile::encodeName(m_path).constData());
    m_fd = FileDescriptor();
}

InspectedCopy InspectedCopy::of(const QString& source) {
    const ScopedAccess access(source);
    const QString suffix = QFileInfo(source).suffix();
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                         (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    std::shared_ptr<MediaCopy> copy =
        MediaCopy::make(source, QDir(WorkingFolder::path()).filePath(name));
    try {
        return {MediaProcessor::inspect(QUrl::fromLocalFile(copy->path())), copy};
    } catch (...) {
        copy->remove();
        throw;
    }
}

} // namespace tovi
