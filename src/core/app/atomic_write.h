#pragma once

#include <QByteArray>
#include <QString>

namespace tovi {

// Replaces (or creates) the file at `path` with `data`: a temporary file in the same folder is
// written, fsynced, closed and renamed over the target, then the folder is fsynced. Every step's
// result is checked. Throws PlatformError (naming `path`); when a step up to the rename fails the
// target is untouched and the temporary file is removed. Only when the final folder sync fails is
// the new content already in place although the call throws: it is then not known to be durable.
// Any thread; the last of two concurrent writers of one path wins.
void atomicWrite(const QString& path, const QByteArray& data);

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
