#include "game1_installer.h"

#include "app/platform_error.h"
#include "app/product.h"
#include "app/tovi_error.h"
#include "device/device_layout.h"
#include "device/device_space_error.h"
#include "device/folder_lock.h"
#include "device/game_backup_manifest.h"
#include "device/pack_error.h"
#include "device/scoped_access.h"
#include "media/decode_budget.h"
#include "media/gif_reader.h"
#include "media/media_error.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_map>

namespace tovi::Game1Installer {

namespace {

const QByteArray installedNote =
    QByteArrayLiteral("Verified six-file install. Previous files are in Game1/.\n");

QString child(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

void makePath(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    struct stat info {};
    if (::stat(encoded.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return;
        throw PlatformError(PlatformError::notADirectory, path, ENOTDIR);
    }
    const QString parent = QFileInfo(path).path();
    if (parent != path)
        makePath(parent);
    if (::mkdir(encoded.constData(), 0777) != 0 && errno != EEXIST)
        throw PlatformError::fromErrno(errno, path);
}

// A backup folder is never reused, so an existing one of the same name is an error, not a merge.
void makeNewFolder(const QString& path) {
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
        throw PlatformError::fromErrno(errno, path);
}

} // namespace

// The GIF reader at its strict setting: where the import forgives a damaged frame, the device
// gets no second chance.
bool isWholeCard(const QByteArray& bytes) {
    constexpr int side = Product::screenSide;
    const QRect screen(0, 0, side, side);
    std::vector<uint8_t> pixels(size_t(side) * side);
    std::unordered_multimap<size_t, QByteArrayView> decoded;
    const DecodeClock clock;
    qint64 frames = 0;
    GifReader::MemoryInput input(bytes);
    const auto check = [&](const GifReader::Structure& gif, const GifReader::Frame& frame) {
        // A frame smaller than the screen, larger, or shifted: the device draws whole frames.
        if (gif.screen != screen.size() || frame.rect != screen)
            return false;
        DecodeBudget::requireFrames(++frames);
        clock.check({});
        // A frame a card repeats (its hold, each step of a fade) carries compressed data already
        // decoded whole: it decodes the same way again, so it is not decoded twice.
        const auto data = QByteArrayView(bytes).sliced(frame.dataOffset - 1,
                                                       frame.dataEnd - frame.dataOffset + 1);
        const size_t key = qHash(data);
        const auto [first, last] = decoded.equal_range(key);
        if (std::any_of(first, last, [&](const auto& seen) { return seen.second == data; }))
            return true;
        if (GifReader::decompress(bytes, frame, pixels).end != GifReader::DataEnd::full)
            return false;
        decoded.emplace(key, data);
        return true;
    };
    return GifReader::walk(input, GifReader::Strictness::strict, check).has_value();
}

namespace {

// The backup folder must not end up on the device: it would be copied into the next backup, and
// inside Game1 it would block every later installation.
bool isInside(const QString& path, const QString& folder) {
    QFileInfo existing(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString rest;
    while (!existing.exists() && existing.filePath() != QStringLiteral("/")) {
        rest = QLatin1Char('/') + existing.fileName() + rest;
        existing.setFile(existing.path());
    }
    const QString top = existing.canonicalFilePath();
    const QString resolved = top == QStringLiteral("/") ? rest : top + rest;
    const QString base = QFileInfo(folder).canonicalFilePath();
    return !base.isEmpty() &&
           (resolved == base ||
            resolved.startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/')));
}

QString backupName() {
    return QStringLiteral("Game1-") + QString::number(QDateTime::currentSecsSinceEpoch()) +
           QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128).left(8).toUpper();
}

void checkSpace(const QString& game1, const Files& before, const Files& files) {
    struct statvfs volume {};
    if (::statvfs(QFile::encodeName(game1).constData(), &volume) != 0 || volume.f_frsize == 0)
        return; // capacity unknown: the write phase's roll-back still covers a full disk
    const qint64 blockSize = static_cast<qint64>(volume.f_frsize);
    const qint64 available = static_cast<qint64>(volume.f_bavail) * blockSize;
    // The Tovi's own kind of full: the window then offers to make room on it.
    if (const qint64 required = requiredSpace(before, files, blockSize); available < required)
        throw DeviceSpaceError(required, available);
}

// Writes a card's old bytes back. When that fails (a full disk has no room for the temporary
// copy) and the card in the way is the new one this installation wrote, that card is removed
// first and the write tried again: the new bytes are the caller's, the old ones are what counts.
void restoreFile(const QString& target, const QByteArray& old, const QByteArray& written) {
    try {
        atomicWrite(target, old);
    } catch (const ToviError&) {
        if (readBack(target) != written || ::unlink(QFile::encodeName(target).constData()) != 0)
            throw;
        atomicWrite(target, old);
    }
}

// Puts every card named in `written` back as `before` had it. Never throws; false when any card
// could not be restored. A card that already holds its old bytes is left alone: rewriting it
// would need free space the failure may have used up.
bool rollBack(const QString& game1, const QStringList& written, const Files& before,
              const Files& files) {
    bool restored = true;
    for (const QString& name : written) {
        const QString target = child(game1, name);
        try {
            if (const auto old = before.find(name); old != before.end()) {
                bool same = false;
                try {
                    same = readBack(target) == old->second;
                } catch (...) {
                }
                if (!same) {
                    restoreFile(target, old->second, files.at(name));
                    restored = readBack(target) == old->second && restored;
                }
            } else {
                // Only a plain unlink: whatever else stands there now is not ours to delete.
                struct stat info {};
                const QByteArray encoded = QFile::encodeName(target);
                if (::lstat(encoded.constData(), &info) == 0) {
                    if (::unlink(encoded.constData()) != 0)
                        restored = false;
                } else if (errno != ENOENT) {
                    restored = false;
                }
            }
        } catch (...) {
            restored = false;
        }
    }
    return restored;
}

} // namespace

const QStringList& names() {
    static const QStringList list = [] {
        QStringList result;
        for (int number = 1; number <= Product::cardCount; ++number)
            result << QString::number(number) + QStringLiteral(".gif");
        return result;
    }();
    return list;
}

QString folder(const QString& in) {
    const QString chosen = QDir::cleanPath(QFileInfo(in).absoluteFilePath());
    QString candidate;
    if (DeviceLayout::lastComponent(chosen) == QStringLiteral("Game1"))
        candidate = chosen;
    else if (DeviceLayout::holdsAll(chosen, DeviceLayout::gameNames()))
        candidate = child(chosen, QStringLiteral("Game1"));
    else
        throw PackError(PackError::folder);

    struct stat info {};
    if (::lstat(QFile::encodeName(candidate).constData(), &info) != 0)
        throw PlatformError::fromErrno(errno, candidate);
    if (!S_ISDIR(info.st_mode))
        throw PackError(PackError::folder);
    return candidate;
}

void validate(const Files& files) {
    if (files.size() != static_cast<size_t>(names().size()))
        throw PackError(PackError::payload);
    for (const QString& name : names()) {
        if (files.find(name) == files.end())
            throw PackError(PackError::payload);
    }
    // Reading every frame of six cards is the installation's largest share of work: one
    // thread per card.
    std::vector<std::future<bool>> checks;
    for (const auto& [name, bytes] : files)
        checks.push_back(std::async(std::launch::async, [&bytes = bytes] {
            try {
                return bytes.size() <= maxCardBytes && isWholeCard(bytes);
            } catch (const std::exception&) {
                return false;
            }
        }));
    bool whole = true;
    for (auto& check : checks)
        whole = check.get() && whole;
    if (!whole)
        throw PackError(PackError::payload);
}

Files snapshot(const QString& folder) {
    Files result;
    for (const QString& name : folderEntries(folder)) {
        const QString path = child(folder, name);
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            throw PlatformError::fromErrno(errno, path);
        if (!S_ISREG(info.st_mode))
            throw PackError(PackError::folder);
        result[name] = readFile(path);
    }
    return result;
}

qint64 requiredSpace(const Files& before, const Files& files, qint64 blockSize) {
    const auto allocated = [blockSize](qint64 size) {
        return blockSize > 0 ? (size + blockSize - 1) / blockSize * blockSize : size;
    };
    qint64 added = 0;   // growth of the cards written so far
    qint64 peak = 0;    // the most the volume holds beyond its start, temporary copy included
    qint64 largest = 0; // the largest new card
    for (const QString& name : names()) {
        const auto incoming = files.find(name);
        const qint64 fresh = incoming == files.end() ? 0 : allocated(incoming->second.size());
        const auto old = before.find(name);
        const qint64 previous = old == before.end() ? 0 : allocated(old->second.size());
        peak = std::max(peak, added + fresh);
        added += fresh - previous;
        largest = std::max(largest, fresh);
    }
    // The net growth plus room for one temporary copy, or the true peak when writing in order
    // grows the set before it shrinks it.
    return std::max({std::max<qint64>(0, added) + largest, peak, added});
}

QString install(const Files& files, const QString& selection, const QString& backups,
                const Writer& write, const Observer& observe) {
    validate(files);
    const QString backup =
        child(QDir::cleanPath(QFileInfo(backups).absoluteFilePath()), backupName());
    const QString copies = child(backup, QStringLiteral("Game1"));
    const auto report = [&](Stage stage, const QStringList& removed = {}) {
        if (observe && !observe(Progress{stage, backup, removed}))
            throw Cancelled();
    };
    report(Stage::started);

    const ScopedAccess access(selection);
    const QString game1 = folder(selection);
    if (isInside(backup, QFileInfo(game1).path()))
        throw PackError(PackError::backupOnDevice);

    const FolderLock lock(game1);
    // Left by a write that a pulled cable cut off; the lock means no write of ours is running.
    if (const QStringList removed = removeAtomicWriteLeftovers(game1); !removed.isEmpty())
        report(Stage::cleaned, removed);
    const Files before = snapshot(game1);
    checkSpace(game1, before, files);
    report(Stage::step);

    makePath(QFileInfo(backup).path());
    makeNewFolder(backup);
    makeNewFolder(copies);
    GameBackupManifest manifest;
    for (const auto& [name, bytes] : before) {
        const QString copy = child(copies, name);
        atomicWrite(copy, bytes);
        if (readBack(copy) != bytes)
            throw PackError(PackError::backupFailed);
        manifest.files[name] = GameBackupManifest::describe(bytes);
        report(Stage::step);
    }
    manifest.created = QDateTime::currentDateTimeUtc();
    manifest.source = QUrl::fromLocalFile(game1 + QLatin1Char('/')).toString(QUrl::FullyEncoded);
    atomicWrite(child(backup, QStringLiteral("manifest.json")), manifest.toJson());

    report(Stage::backedUp);
    if (snapshot(game1) != before)
        throw PackError(PackError::sourceChanged);

    QStringList written;
    try {
        for (const QString& name : names()) {
            report(Stage::step);
            written << name; // before writing: a write that fails half-way is undone too
            const QString target = child(game1, name);
            const QByteArray& bytes = files.at(name);
            try {
                write(bytes, target);
            } catch (const PlatformError& error) {
                DeviceSpaceError::rethrowIfFull(error, game1, bytes.size());
                throw;
            }
            if (readBack(target) != bytes)
                throw MediaError(MediaError::encode);
        }
        report(Stage::cardsWritten);
        for (const auto& [name, bytes] : before) {
            // "._" files belong to the operating system, which may rewrite them at any time.
            if (names().contains(name) || name.startsWith(QStringLiteral("._")))
                continue;
            if (readBack(child(game1, name)) != bytes)
                throw PackError(PackError::sourceChanged);
        }
        report(Stage::step);
        atomicWrite(child(backup, QStringLiteral("installed.txt")), installedNote);
    } catch (...) {
        if (rollBack(game1, written, before, files))
            throw;
        throw PackError(PackError::rollbackFailed, backup);
    }
    return backup;
}

} // namespace tovi::Game1Installer
