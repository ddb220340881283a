#include "album_removal.h"

#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "app/tovi_error.h"
#include "device/device_contents.h"
#include "device/device_layout.h"
#include "device/folder_lock.h"
#include "device/removal_error.h"
#include "device/scoped_access.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tovi::AlbumRemoval {

namespace {

// What tells that a file on the device changed: the bytes are compared once, these later.
struct Identity {
    qint64 bytes = 0;
    timespec modified{};

    bool operator==(const Identity& other) const {
        return bytes == other.bytes && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

// The plain file `name` of `folder`; a folder, a link or a hidden file is not a picture.
Identity identify(const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')))
        throw PlatformError(PlatformError::notFound, path, ENOENT);
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        throw PlatformError::fromErrno(errno, path);
    if (S_ISDIR(info.st_mode))
        throw PlatformError(PlatformError::isADirectory, path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw PlatformError(PlatformError::notFound, path, ENOENT);
    return {info.st_size, info.st_mtim};
}

// "NAME", else "STEM (2).EXT", "STEM (3).EXT"… : the first name not taken in `folder`.
QString freeName(const QString& folder, const QString& name) {
    const QFileInfo file(name);
    const QString suffix = file.suffix().isEmpty() ? QString() : QLatin1Char('.') + file.suffix();
    const QString stem = name.left(name.size() - suffix.size());
    QString candidate = name;
    for (int n = 2; QFileInfo::exists(folder + QLatin1Char('/') + candidate); ++n)
        candidate = stem + QStringLiteral(" (%1)").arg(n) + suffix;
    return candidate;
}

// Deletes the picture once it is still what was copied, then syncs its folder. Throws
// RemovalError::changed when it is not, the PlatformError of a refusal that leaves it on the
// device (read-only, no permission), or RemovalError::interrupted for anything after that, when
// it may be gone.
void deleteCopied(const QString& folder, const QString& name, const Identity& before,
                  const QString& copy, const Observer& observe) {
    const QString path = folder + QLatin1Char('/') + name;
    try {
        if (!(identify(folder, name) == before))
            throw RemovalError(RemovalError::changed);
        if (::unlink(QFile::encodeName(path).constData()) != 0)
            throw PlatformError::fromErrno(errno, path);
    } catch (const PlatformError& error) {
        const int code = error.errorNumber();
        if (code == EROFS || code == EACCES || code == EPERM || code == EBUSY)
            throw;
        throw RemovalError(RemovalError::interrupted, copy, error.message());
    }
    if (observe)
        observe({Stage::deleted, copy});
    try {
        syncToDisk(folder);
    } catch (const ToviError& error) {
        throw RemovalError(RemovalError::interrupted, copy, error.message());
    }
    if (observe)
        observe({Stage::synced, copy});
}

void report(const Observer& observe, const Progress& at) {
    if (observe && !observe(at))
        throw Cancelled();
}

// The picture as the medium holds it, and what tells later whether it changed.
std::pair<Identity, QByteArray> readPicture(const QString& folder, const QString& name,
                                            const Observer& observe) {
    const Identity identity = identify(folder, name);
    QByteArray bytes = readBack(folder + QLatin1Char('/') + name);
    if (bytes.size() != identity.bytes)
        throw RemovalError(RemovalError::changed);
    report(observe, {Stage::read, {}});
    return {identity, std::move(bytes)};
}

// Writes the picture read from `folder` into `kept` + "/" + album, reads the copy back and, only
// when it matches, deletes the picture from the device (deleteCopied). The caller holds the lock.
Removed keepAndDelete(const QString& folder, const QString& album, const QString& name,
                      const QString& kept, const Identity& before, const QByteArray& bytes,
                      const Observer& observe) {
    const QString keptAlbum = QDir(kept).filePath(album);
    if (!QDir().mkpath(keptAlbum))
        throw PlatformError::fromErrno(errno ? errno : EACCES, keptAlbum);
    const QString copy = keptAlbum + QLatin1Char('/') + freeName(keptAlbum, name);
    atomicWrite(copy, bytes);
    try {
        if (readBack(copy) != bytes)
            throw RemovalError(RemovalError::copyFailed);
        report(observe, {Stage::copied, copy});
        deleteCopied(folder, name, before, copy, observe);
    } catch (const RemovalError& error) {
        if (error.kind() != RemovalError::interrupted)
            QFile::remove(copy);
        throw;
    } catch (...) {
        // Stopped, or refused by the device: the picture is where it was.
        QFile::remove(copy);
        throw;
    }
    return {album, name, copy};
}

} // namespace

Removed remove(const QString& device, const QString& album, const QString& name,
               const QString& kept, const Observer& observe) {
    const ScopedAccess access(device);
    const QString folder = DeviceLayout::photoFolder(DeviceContents::rootOf(device), album);
    const FolderLock lock(folder);
    const auto [before, bytes] = readPicture(folder, name, observe);
    return keepAndDelete(folder, album, name, kept, before, bytes, observe);
}

QString undo(const QString& device, const Removed& removed, const AlbumWriter::Observer& observe) {
    const QByteArray bytes = readBack(removed.copy);
    const QString name = AlbumWriter::add(DeviceContents::rootOf(device), removed.album,
                                          removed.name, bytes, writeAtomically, observe)
                             .name;
    QFile::remove(removed.copy); // back where it came from, verified
    return name;
}

Moved move(const QString& device, const QString& from, const QString& name, const QString& to,
           const QString& kept, const Observer& observe) {
    const ScopedAccess access(device);
    const QString root = DeviceContents::rootOf(device);
    const QString folder = DeviceLayout::photoFolder(root, from);
    if (DeviceLayout::photoFolder(root, to) == folder) {
        identify(folder, name);
        return {name, {}, to}; // already there
    }
    // One album locked at a time: a move the other way cannot wait for this one.
    std::optional<FolderLock> reading(std::in_place, folder);
    const auto [before, bytes] = readPicture(folder, name, observe);
    reading.reset();
    const QString added = AlbumWriter::add(root, to, name, bytes).name;
    const FolderLock lock(folder);
    return {added, keepAndDelete(folder, from, name, kept, before, bytes, observe), to};
}

QString undoMove(const QString& device, const Moved& moved, const AlbumWriter::Observer& observe) {
    const ScopedAccess access(device);
    const QString root = DeviceContents::rootOf(device);
    const QString there = DeviceLayout::photoFolder(root, moved.to);
    const QByteArray bytes = readBack(moved.removed.copy);
    std::optional<FolderLock> reading(std::in_place, there);
    const auto [before, found] = readPicture(there, moved.name, {});
    reading.reset();
    if (found != bytes)
        throw RemovalError(RemovalError::changed);
    const QString back = DeviceLayout::photoFolder(root, moved.removed.album) + QLatin1Char('/') +
                         moved.removed.name;
    QString name = moved.removed.name;
    if (!QFileInfo(back).isFile() || readBack(back) != bytes)
        name = AlbumWriter::add(root, moved.removed.album, moved.removed.name, bytes,
                                writeAtomically, observe)
                   .name;
    const FolderLock lock(there);
    deleteCopied(there, moved.name, before, moved.removed.copy, {});
    QFile::remove(moved.removed.copy); // back where it came from, verified
    return name;
}

QString stoppedText(const std::optional<Progress>& at) {
    if (!at || at->stage == Stage::read)
        return QStringLiteral("Przestano czekać na Tovi. Niczego nie usunięto: gdy Tovi znów "
                              "odpowie, plik będzie w albumie.");
    return QStringLiteral("Przestano czekać na Tovi. Plik mógł zostać usunięty z albumu; jego "
                          "sprawdzona kopia jest tu: ") +
           QDir::toNativeSeparators(at->copy);
}

} // namespace tovi::AlbumRemoval
