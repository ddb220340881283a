#include "device_contents.h"

#include "app/atomic_write.h"
#include "app/polish_format.h"
#include "app/tovi_error.h"
#include "device/device_layout.h"
#include "device/game1_installer.h"
#include "device/scoped_access.h"
#include "media/media_error.h"

#include <QCollator>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace tovi {

namespace {

// The visible names in `folder`, in the order a person sorts them ("2.gif" before "10.gif").
QStringList visibleNames(const QString& folder) {
    QStringList names = folderEntries(folder);
    // Dot files are the system's: "._" companions, ".Trashes", our own unfinished writes.
    names.removeIf([](const QString& name) { return name.startsWith(QLatin1Char('.')); });
    QCollator collator{PolishFormat::locale()};
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

} // namespace

QString DeviceContents::rootOf(const QString& in) {
    const QString chosen = QDir::cleanPath(in);
    const QString root = DeviceLayout::rootNames().contains(DeviceLayout::lastComponent(chosen))
                             ? QDir::cleanPath(chosen + QStringLiteral("/.."))
                             : chosen;
    if (!QFileInfo(root).isDir())
        throw MediaError(MediaError::invalidFolder);
    if (!DeviceLayout::holdsAll(root, DeviceLayout::albumNames()))
        throw MediaError(MediaError::invalidFolder);
    return root;
}

DeviceContents DeviceContents::read(const QString& in, const Beat& beat) {
    const ScopedAccess access(in);
    DeviceContents contents;
    contents.root = rootOf(in);
    const auto step = [&beat] {
        if (beat && !beat())
            throw Cancelled();
    };
    for (const QString& name : DeviceLayout::albumNames()) {
        Album album{name, {}};
        const QString folder = DeviceLayout::photoFolder(contents.root, name);
        for (const QString& file : visibleNames(folder)) {
            album.pictures.push_back(DevicePicture::read(folder + QLatin1Char('/') + file));
            step();
        }
        contents.albums.push_back(std::move(album));
    }
    const QString game1 = contents.root + QStringLiteral("/Game1");
    for (const QString& name : Game1Installer::names()) {
        const QString path = game1 + QLatin1Char('/') + name;
        DevicePicture card;
        if (QFileInfo::exists(path)) {
            card = DevicePicture::read(path);
        } else {
            card.name = name;
            card.kind = DevicePicture::Kind::missing;
        }
        contents.cards.push_back(card);
        step();
    }
    contents.space = DeviceSpace::of(contents.root);
    return contents;
}

} // namespace tovi
