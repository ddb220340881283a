#pragma once

#include "packs/own_pack.h"

#include <QSet>
#include <QString>
#include <vector>

// The user's own packs: "OwnPacks" in the working folder, one folder per pack named by its id,
// holding "pack.json" (with the id) and the pictures. Every change is atomic: a new pack is
// built in a hidden folder beside the others and renamed into place, a change rewrites its
// "pack.json" atomically, and a deleted pack is moved whole to the removed items ("Usunięte z
// Tovi"), from where it can be restored. Any thread; the callers keep changes of one pack apart.
// `reserved` holds the ids a new pack must not take: the starter packs'.
namespace tovi::OwnPackStore {

// Creates the folder when missing. Throws PlatformError.
QString folder();

// Every readable pack, in name order; a folder that holds no valid pack is passed over.
std::vector<OwnPack> load();

// Keeps `content` as a new pack: its pictures copied byte for byte, under its name, numbered
// ("Wakacje (2)") when another pack has it. Throws PlatformError; nothing is left behind then.
OwnPack save(const PackContent& content, const QSet<QString>& reserved);

// Imports the pack file at `file` as a new pack (numbered as in save): it is unpacked and
// checked whole in a hidden folder of the store, then renamed into place. Throws what
// PackFile::read throws; nothing is left behind then.
OwnPack importFile(const QString& file, const QSet<QString>& reserved);

// Throws OwnPackError (badName, nameTaken by another pack, unknownPack) or PlatformError.
OwnPack rename(const QString& id, const QString& name);
OwnPack setAnimation(const QString& id, PackReveal animation);

// Moves the pack to the removed items; returns the folder it now is. Throws OwnPackError
// (unknownPack) or PlatformError.
QString remove(const QString& id);

struct Removed {
    QString folder;
    QString name;
};
// The packs among the removed items, in name order.
std::vector<Removed> removed();
// Brings a removed pack back, under its old id when that is free and its name numbered when
// taken meanwhile. Throws OwnPackError (unknownPack for a folder that is no removed pack) or
// PlatformError.
OwnPack restore(const QString& removedFolder, const QSet<QString>& reserved);

} // namespace tovi::OwnPackStore
