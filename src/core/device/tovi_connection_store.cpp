#include "tovi_connection_store.h"

#include "app/settings.h"
#include "device/bookmark.h"
#include "device/device_layout.h"

namespace tovi {

void ToviConnectionStore::rememberRoot(const QString& url, const QByteArray& bookmark,
                                       Settings& settings) {
    if (!DeviceLayout::holdsAll(url, DeviceLayout::rootNames()))
        return;
    settings.setBytes(Settings::rootPermission, bookmark);
}

std::optional<QString> ToviConnectionStore::resolve(const Settings& settings, QAnyStringView key) {
    if (!settings.contains(key))
        return std::nullopt;
    return resolve(settings.bytes(key));
}

std::optional<QString> ToviConnectionStore::resolve(const QByteArray& bookmark) {
    if (bookmark.isEmpty())
        return std::nullopt;
    const Bookmark::Resolved resolved = Bookmark::resolve(bookmark);
    if (resolved.status != Bookmark::Status::fresh)
        return std::nullopt;
    return resolved.path;
}

} // namespace tovi
