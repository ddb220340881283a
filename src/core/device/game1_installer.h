#pragma once

#include "app/atomic_write.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

namespace tovi {

// Replaces the six cards of the device's Game1 folder as one verified transaction with a local
// backup of everything that was there. All functions are synchronous and do blocking file I/O on
// a removable disk: call them from a background thread. No shared state.
namespace Game1Installer {

// File name → complete bytes.
using Files = std::map<QString, QByteArray>;
// Writes a card's bytes to a target path on the device; throws on failure.
using Writer = FileWriter;
// The default writer.
using ::tovi::writeAtomically;

inline constexpr qint64 maxCardBytes = 2097152;

// Points of the transaction reported to an Observer (a progress display, a watch that notices a
// device that stopped answering, or a test that changes the device at exactly that moment).
enum class Stage {
    started,     // nothing touched yet, the device not even looked at
    cleaned,     // temporary files that an interrupted write left in Game1 were removed
    step,        // one more file was read or written: the device answers
    backedUp,    // copies and manifest are complete; the device has not been touched
    cardsWritten // the six cards are written and read back; the other files not yet re-checked
};
struct Progress {
    Stage stage = Stage::started;
    QString backup;      // the backup folder this installation makes (it may not exist yet)
    QStringList removed; // Stage::cleaned: the names removed
};
// Called on the installing thread, with Game1 locked from `cleaned` on. Returning false stops
// the installation there: it throws Cancelled once every card it touched is put back.
using Observer = std::function<bool(const Progress&)>;

// "1.gif" … "6.gif", the order of every loop over the set.
const QStringList& names();

// The Game1 folder for the chosen folder `in` (Game1 itself or a device root holding Game1, Game2
// and Game3). Throws PackError::folder for every unusable choice (a symbolic link included), or
// PlatformError when the candidate cannot be examined.
QString folder(const QString& in);

// Throws PackError::payload unless `files` holds exactly the six names, each at most 2 MiB and a
// GIF that a strict reader takes whole: every frame exactly the 240 × 240 screen, every frame's
// data complete and sound, and the trailer present (bytes after it are ignored, as readers do).
void validate(const Files& files);

// True for a GIF the device reads whole, as validate() says of each card (its size aside).
// Throws MediaError::oversized past the decode budget's frames or time.
bool isWholeCard(const QByteArray& bytes);

// Every direct entry of `folder`, hidden ones included, read whole. Throws PackError::folder when
// an entry is not a regular file (a subfolder or a symbolic link), PlatformError on read errors.
Files snapshot(const QString& folder);

// Free bytes the write phase needs on a volume with `blockSize`-byte allocation units, replacing
// the cards of `before` by `files` one at a time, each through a temporary copy.
qint64 requiredSpace(const Files& before, const Files& files, qint64 blockSize);

// Installs `files` into the Game1 folder of `selection`; returns the backup folder made inside
// `backups` ("Game1-<seconds>-<8 UUID characters>", created with its parents), which must lie
// outside the device. The device phase holds an exclusive lock on Game1 and begins by removing
// the temporary files an interrupted write of ours left there. Throws PackError (payload,
// folder, backupOnDevice, backupFailed, sourceChanged, rollbackFailed with the backup path),
// MediaError::encode when a card reads back different, Cancelled when `observe` said stop, or
// the PlatformError / writer's error that stopped it. On any failure after the first card write
// began, every card touched is put back from the snapshot (new ones removed). Game1 is
// untouched (but for those leftovers) when it fails before that; the backup folder then holds
// what was copied.
QString install(const Files& files, const QString& selection, const QString& backups,
                const Writer& write = writeAtomically, const Observer& observe = {});

} // namespace Game1Installer

} // namespace tovi
