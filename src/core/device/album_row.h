#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace tovi {

// Several graphics added to one album, one after another, each as AlbumWriter adds one. The
// whole row is measured against the volume before anything is written; a graphic that fails
// never stops the others; a stop is heard between graphics, never inside one. Blocking file I/O
// on a removable disk: call it from a background thread.
namespace AlbumRow {

struct Graphic {
    QString label; // what the person calls it: the source file's name
    QString name;  // the file's name in the album (AlbumWriter::freshName)
    QByteArray bytes;
};

struct Result {
    QString label;
    QString album; // where it was written
    QString name;  // its name there, once written
    QString error; // the Polish sentence of what stopped it; empty once written
    bool written() const { return error.isEmpty(); }
};

// Throws DeviceSpaceError when the row's files, each in whole clusters, need more than the
// volume of the album for `destination` and `selected` has free; what DeviceLayout::photoFolder
// and DeviceSpace::of throw.
void requireRoom(const QString& destination, const QString& selected,
                 const std::vector<Graphic>& row);

// Asked before graphic `index` is written: false stops the row there.
using Next = std::function<bool(int index)>;
// Told each graphic's result as soon as it is known.
using Done = std::function<void(const Result&)>;

// Writes the row in order, each file verified, and gives one result for every graphic that was
// tried (the ones after a stop have none).
std::vector<Result> add(const QString& destination, const QString& selected,
                        const std::vector<Graphic>& row, const Next& next = {},
                        const Done& done = {});

} // namespace AlbumRow
} // namespace tovi
