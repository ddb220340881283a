#pragma once

#include "device/album_writer.h"

#include <QString>
#include <functional>
#include <optional>

namespace tovi {

// Takes pictures off the device's albums without ever losing one: at every moment the picture is
// either still in its album or has a verified copy elsewhere (on the computer, or in the album it
// moves to). Synchronous, blocking file I/O on a removable disk: call it from a background
// thread. `device` is the device root or one of its folders (DeviceContents::rootOf). No shared
// state; each album is locked while it changes.
namespace AlbumRemoval {

struct Removed {
    QString album; // "Photo1" … "Photo3"
    QString name;  // its name in the album
    QString copy;  // the verified copy on the computer
};

// Points of a removal or a move, reported to an Observer (a watch, a progress display, a test
// that pulls the device at exactly that moment).
enum class Stage {
    read,    // the picture is read from the device; nothing is written anywhere yet
    copied,  // its copy is written and verified; the device is untouched
    deleted, // it is gone from the album; the album folder is not yet synced
    synced   // the removal is on the medium
};
struct Progress {
    Stage stage = Stage::read;
    QString copy; // from `copied` on: the verified copy
};
// Called on the working thread. Returning false up to `copied` stops before anything is deleted
// (a copy made for it is removed; Cancelled is thrown); later answers are ignored.
using Observer = std::function<bool(const Progress&)>;

// Takes `name` off `album`: reads it, copies it into `kept` + "/" + album (as "NAME", or
// "NAME (2)"… when that is taken), reads the copy back and compares it, and only then deletes the
// picture from the device and syncs the album folder. Throws MediaError::invalidFolder,
// PlatformError (no such file, unreadable, read-only device: nothing removed, no copy left),
// RemovalError (copyFailed and changed: nothing removed, no copy left; interrupted: the copy
// stays), or Cancelled.
Removed remove(const QString& device, const QString& album, const QString& name,
               const QString& kept, const Observer& observe = {});

// Puts a removed picture back into its album with a verified AlbumWriter::add (its old name when
// free), then deletes the copy. Returns the name it has in the album. Throws what add throws,
// or PlatformError when the copy cannot be read; the copy then stays.
QString undo(const QString& device, const Removed& removed,
             const AlbumWriter::Observer& observe = {});

// Moves `name` from album `from` to album `to`: a verified copy into `to` (AlbumWriter::add, its
// name when free there), then the removal above, which keeps its own verified copy in `kept`.
// Throws as remove and add do; once the copy in `to` is verified, a failure or a stop leaves the
// picture in both albums.
struct Moved {
    QString name;    // its name in `to`
    Removed removed; // the removal from `from`; empty when `from` is `to`
    QString to;      // the album it went to
};
Moved move(const QString& device, const QString& from, const QString& name, const QString& to,
           const QString& kept, const Observer& observe = {});

// Takes a moved picture back to its album: a verified AlbumWriter::add of the copy kept by the
// move (its old name when free; nothing when that name already holds those bytes, as after an
// earlier try), then the picture is deleted from `to` and the copy on the computer goes. Returns
// its name in the old album. Throws RemovalError::changed before anything is written when the
// picture in `to` is no longer what was moved, what add throws, or PlatformError; the copy then
// stays, and a failure after the add leaves the picture in both albums.
QString undoMove(const QString& device, const Moved& moved,
                 const AlbumWriter::Observer& observe = {});

// After the person stopped waiting for a removal that last reported `at` (nothing: not even
// read).
QString stoppedText(const std::optional<Progress>& at);

} // namespace AlbumRemoval

} // namespace tovi
