#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tovi {

// What goes to the Tovi: a graphic into an album, a card set into Game1, or the factory set.
enum class ToviTransferKind { artwork, cards, factory };

// Where a transfer finds the Tovi: which folder a kind of transfer writes into, whether a chosen
// place will do, and which places to try when it will not. The transfer sheet, the command line
// and every screen that reaches the device ask here. Each function touches the disks only and
// may be called from any thread; a call on a hung disk blocks, so the window calls them off its
// thread where a disk may be new.
namespace DeviceFinder {

// The folder a transfer of `kind` writes into, for the folder the person chose (the device root,
// an album or Game1) and, for a graphic, the selected album. Throws MediaError::invalidFolder or
// PackError::folder for an unusable choice, PlatformError when it cannot be examined.
QString folderFor(ToviTransferKind kind, const QString& chosen, const QString& album);

// Whether `folder` is a place a transfer of `kind` can write to; any failure means it is not.
bool usable(ToviTransferKind kind, const QString& folder, const QString& album);

// Whether `destination` is usable and, when it is not, the usable places to try in turn: the
// remembered device root (`rootBookmark`), then the one Tovi disk among `volumes` when there is
// exactly one.
struct Lookup {
    bool ready = false;
    QStringList candidates;
};
Lookup lookFor(ToviTransferKind kind, const QString& destination, const QString& album,
               const QByteArray& rootBookmark, const QStringList& volumes);

// The root folders of the mounted disks, each volume once: no network or virtual file system,
// no bind mount of part of a volume.
QStringList mountedVolumes();

} // namespace DeviceFinder

} // namespace tovi
