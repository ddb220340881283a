#include "device/album_row.h"

#include "app/background_task.h"
#include "device/album_writer.h"
#include "device/device_layout.h"
#include "device/device_space.h"
#include "device/device_space_error.h"

namespace tovi::AlbumRow {

void requireRoom(const QString& destination, const QString& selected,
                 const std::vector<Graphic>& row) {
    const DeviceSpace space = DeviceSpace::of(DeviceLayout::photoFolder(destination, selected));
    qint64 needed = 0;
    for (const Graphic& graphic : row)
        needed += space.allocated(graphic.bytes.size());
    if (needed > space.free)
        throw DeviceSpaceError(needed, space.free);
}

std::vector<Result> add(const QString& destination, const QString& selected,
                        const std::vector<Graphic>& row, const Next& next, const Done& done) {
    std::vector<Result> results;
    for (int i = 0; i < int(row.size()); ++i) {
        if (next && !next(i))
            break;
        const Graphic& graphic = row[size_t(i)];
        Result result{graphic.label, {}, {}, {}};
        try {
            const AlbumWriter::Added added =
                AlbumWriter::add(destination, selected, graphic.name, graphic.bytes);
            result.album = added.album;
            result.name = added.name;
        } catch (...) {
            result.error = describeFailure(std::current_exception());
        }
        if (done)
            done(result);
        results.push_back(std::move(result));
    }
    return results;
}

} // namespace tovi::AlbumRow
