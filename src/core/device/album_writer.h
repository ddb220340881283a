#pragma once

#include "app/atomic_write.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace tovi {

// Adds a single graphic to an album of the device as a new file. Synchronous, blocking file I/O
// on a removable disk: call it from a background thread. No shared state.
namespace AlbumWriter {

struct Added {
    QString album;       // the album's folder name, "Photo1" … "Photo3"
    QStringList removed; // temporary files of an interrupted write that were removed first
    QString name;        // the file's name in the album, once written
};

// Called on the writing thread, with the album locked, once the leftovers are gone and once the
// file is written (then with no `removed`). Returning false the first time stops the write
// before the file is written: it then throws Cancelled.
using Observer = std::function<bool(const Added& sofar)>;

// "tovi-" + 8 upper-case hexadecimal digits of a new UUID + "." + `suffix`.
QString freshName(const QString& suffix);

// Writes `bytes` as `name` into the album folder for `destination` and `selected`
// (DeviceLayout::photoFolder), holding the album's lock, after removing the temporary files an
// interrupted write of ours left there, and reads the file back. Nothing is ever replaced: when
// `name` is taken the file gets a freshName with the same suffix. Before writing, the file's
// clusters are compared with the volume's free space. Throws what photoFolder throws,
// DeviceSpaceError when the file does not fit (also when the volume fills up during the
// write), MediaError::encode when the file reads back different (it then stays, as written),
// Cancelled, or the PlatformError / writer's error that stopped it.
Added add(const QString& destination, const QString& selected, const QString& name,
          const QByteArray& bytes, const FileWriter& write = writeAtomically,
          const Observer& observe = {});

} // namespace AlbumWriter

} // namespace tovi
