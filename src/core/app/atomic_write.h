#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace tovi {

// Replaces (or creates) the file at `path` with `data`: a temporary file in the same folder is
// written, fsynced, closed and renamed over the target, then the folder is fsynced. Every step's
// result is checked. Throws PlatformError (naming `path`); when a step up to the rename fails the
// target is untouched and the temporary file is removed. Only when the final folder sync fails is
// the new content already in place although the call throws: it is then not known to be durable.
// Any thread; the last of two concurrent writers of one path wins.
void atomicWrite(const QString& path, const QByteArray& data);

// As atomicWrite, for writers that make the file themselves (libzip): `make` creates the new
// file at the temporary path it is given (it must not exist yet) and closes it; that file is
// then synced and renamed over `path`, or removed when anything throws.
void atomicWriteBy(const QString& path, const std::function<void(const QString& temporary)>& make);

// How a file is written to the device, swappable so that tests can fail, tear or stall a write.
// Throws on failure.
using FileWriter = std::function<void(const QByteArray& bytes, const QString& target)>;
// The default FileWriter: atomicWrite of `bytes` to `target`.
void writeAtomically(const QByteArray& bytes, const QString& target);

// True for the name of a temporary file that atomicWrite makes next to its target
// (".1.gif.tovi-0123abcd.tmp"). A write cut off by a pulled device leaves one behind.
bool isAtomicWriteLeftover(const QString& fileName);
// Removes the regular files directly in `folder` whose names isAtomicWriteLeftover() accepts, and
// nothing else; returns their names. Call it only while no write of ours into `folder` can be
// running (under the folder's lock). Throws PlatformError when the folder cannot be listed or a
// leftover cannot be removed.
QStringList removeAtomicWriteLeftovers(const QString& folder);

// The names in `folder` except "." and "..", in the order the file system gives them. Throws
// PlatformError when the folder cannot be listed or the listing breaks off.
QStringList folderEntries(const QString& folder);

// Flushes the file or folder at `path` to its medium (a folder: the names in it). Throws
// PlatformError.
void syncToDisk(const QString& path);

// Renames the file or folder `from` to `to` on the same file system, then syncs the folders of
// both, so that the move survives a power cut. Without `replace` an existing `to` is never
// replaced (PlatformError alreadyExists). Throws PlatformError; `from` is untouched then.
void moveDurably(const QString& from, const QString& to, bool replace = false);

// The whole file. Throws PlatformError (a folder is refused).
QByteArray readFile(const QString& path);

// The whole file as the medium holds it: pending writes are flushed and the file's cached pages
// dropped before reading, so that comparing it with what was written proves the write.
// Throws PlatformError.
QByteArray readBack(const QString& path);

// Copies the regular file `source` to the new file `target` (an existing target is refused).
// Throws PlatformError; no partial copy is left behind.
void copyFile(const QString& source, const QString& target);

} // namespace tovi
