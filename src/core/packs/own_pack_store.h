#pragma once

#include "packs/own_pack.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

// The user's own packs: "OwnPacks" in the working folder, one folder per pack named by its id,
// holding "pack.json" (with the id) and the pictures. Every change is atomic: a new pack is
// built in a hidden folder beside the others and renamed into place, a change rewrites its
// "pack.json" atomically, and a deleted pack is moved whole to "Usunięte zestawy", from where it
// can be restored. Any thread; the callers keep changes of one pack apart
// (OwnPackLibrary does).
namespace tovi::OwnPackStore {

// Creates the folder when missing. Throws PlatformError.
QString folder();

// A pack folder of the store that holds no usable pack: it stays, shown with what is wrong.
struct Damaged {
    QString id;
    QString name;   // what its pack.json calls it, or empty
    QString reason; // what is wrong, in a few words
    bool operator==(const Damaged&) const = default;
};

// The store as one reading found it.
struct Listing {
    std::vector<OwnPack> packs; // in name order
    std::vector<Damaged> damaged;

    const OwnPack* find(const QString& id) const;
    // Every pack's name, and the starters' `also`: the names a new one must not take.
    QStringList names(const QStringList& also = {}) const;
    // Adds or replaces `pack`, keeping the name order; forgets pack or damaged folder `id`.
    void put(const OwnPack& pack);
    void forget(const QString& id);
};

// Reads every pack folder; a folder not named as a pack's is passed over.
Listing load();
// How many times load() has read the store in this process.
int loads();

// What a new pack does not take: the starters' ids, and `names` (numbered past them).
struct Taken {
    QSet<QString> ids;
    QStringList names;
};

// `name`, or the first of "name (2)", "name (3)"… not in `taken`, shortened to stay within
// maxPackNameLength.
QString numbered(const QString& name, const QStringList& taken);

// Keeps `content` as a new pack: its pictures copied byte for byte, under its name, numbered
// past `taken`. Throws PlatformError; nothing is left behind then.
OwnPack save(const PackContent& content, const Taken& taken);

// Imports the pack file at `file` as a new pack (numbered as in save): it is unpacked and
// checked whole in a hidden folder of the store, then renamed into place. Throws what
// PackFile::read throws; nothing is left behind then.
OwnPack importFile(const QString& file, const Taken& taken);

// Throws OwnPackError (badName, nameTaken when one of `taken` has it, unknownPack) or
// PlatformError.
OwnPack rename(const QString& id, const QString& name, const QStringList& taken);
OwnPack setAnimation(const QString& id, PackReveal animation);

// Moves the pack, or a damaged pack's folder, to "Usunięte zestawy"; returns the folder it now
// is. Throws OwnPackError (unknownPack) or PlatformError.
QString remove(const QString& id);

struct Removed {
    QString folder;
    QString name;
};
// The deleted packs, in name order (with those earlier versions moved to "Usunięte z Tovi").
std::vector<Removed> removed();
// Brings a removed pack back, under its old id when that is free and its name numbered past
// `taken`. Throws OwnPackError (unknownPack for a folder that is no removed pack) or
// PlatformError.
OwnPack restore(const QString& removedFolder, const Taken& taken);

} // namespace tovi::OwnPackStore
