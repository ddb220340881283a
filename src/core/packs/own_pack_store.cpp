#include "own_pack_store.h"

#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "app/working_folder.h"
#include "packs/pack_file.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cerrno>

namespace tovi::OwnPackStore {
namespace {

const QString descriptionName = QStringLiteral("pack.json");

bool isOwnId(const QString& name) {
    static const QRegularExpression form(QStringLiteral("^own-[0-9a-f]{8}$"));
    return form.match(name).hasMatch();
}

OwnPack readPack(const QString& packFolder, QString id = {}) {
    QString storedId;
    PackContent content = PackContent::fromJson(
        readFile(QDir(packFolder).filePath(descriptionName)), packFolder, &storedId);
    return {id.isEmpty() ? storedId : id, std::move(content)};
}

void writeDescription(const QString& packFolder, const OwnPack& pack) {
    atomicWrite(QDir(packFolder).filePath(descriptionName),
                QJsonDocument(pack.content.toJson(pack.id)).toJson());
}

// The pictures as they will lie once the pack is in place.
void moveTo(PackContent& content, const QString& packFolder) {
    for (QString& picture : content.pictures)
        picture = QDir(packFolder).filePath(QFileInfo(picture).fileName());
}

QString freshId(const QSet<QString>& reserved) {
    for (;;) {
        const QString id =
            QStringLiteral("own-") + QUuid::createUuid().toString(QUuid::Id128).left(8);
        if (!reserved.contains(id) && !QFileInfo::exists(QDir(folder()).filePath(id)))
            return id;
    }
}

// `name`, or the first of "name (2)", "name (3)"… that no other pack has.
QString numbered(const QString& name) {
    QStringList taken;
    for (const OwnPack& pack : load())
        taken << pack.content.name;
    QString candidate = name;
    for (int n = 2; taken.contains(candidate); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        candidate = name.left(maxPackNameLength - suffix.size()) + suffix;
    }
    return candidate;
}

void sortByName(auto& items, auto name) {
    QCollator collator{QLocale(QLocale::Polish, QLocale::Poland)};
    collator.setNumericMode(true);
    std::sort(items.begin(), items.end(),
              [&](const auto& a, const auto& b) { return collator.compare(name(a), name(b)) < 0; });
}

QString packFolder(const QString& id) {
    if (!isOwnId(id) || !QFileInfo(QDir(folder()).filePath(id)).isDir())
        throw OwnPackError(OwnPackError::unknownPack, id);
    return QDir(folder()).filePath(id);
}

// Builds a pack in a hidden folder of the store with `fill`, then renames it into place.
template <typename Fill>
OwnPack build(const QString& kind, const QSet<QString>& reserved, Fill fill) {
    const QString root = folder();
    QTemporaryDir building(
        QDir(root).filePath(QLatin1Char('.') + kind + QStringLiteral("-XXXXXX")));
    if (!building.isValid())
        throw PlatformError::fromErrno(errno ? errno : EACCES, root);
    OwnPack pack{freshId(reserved), fill(building.path())};
    pack.content.name = numbered(pack.content.name);
    writeDescription(building.path(), pack);
    const QString target = QDir(root).filePath(pack.id);
    moveDurably(building.path(), target);
    building.setAutoRemove(false);
    moveTo(pack.content, target);
    return pack;
}

} // namespace

QString folder() {
    const QString path = WorkingFolder::path() + QStringLiteral("/OwnPacks");
    if (!QDir().mkpath(path))
        throw PlatformError::fromErrno(errno ? errno : EACCES, path);
    return path;
}

std::vector<OwnPack> load() {
    const QString root = folder();
    std::vector<OwnPack> packs;
    for (const QString& id : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!isOwnId(id))
            continue;
        try {
            packs.push_back(readPack(QDir(root).filePath(id), id));
        } catch (const ToviError&) {
            // Not a pack (or one damaged by hand): it stays on disk, out of the collection.
        }
    }
    sortByName(packs, [](const OwnPack& pack) { return pack.content.name; });
    return packs;
}

OwnPack save(const PackContent& content, const QSet<QString>& reserved) {
    const QString name = checkedPackName(content.name);
    return build(QStringLiteral("new"), reserved, [&](const QString& building) {
        PackContent kept = content;
        kept.name = name;
        const std::array<QString, Product::cardCount> names =
            PackFile::pictureNames(content.pictures);
        for (size_t slot = 0; slot < names.size(); ++slot) {
            kept.pictures[slot] = QDir(building).filePath(names[slot]);
            if (!QFileInfo::exists(kept.pictures[slot])) {
                copyFile(content.pictures[slot], kept.pictures[slot]);
                syncToDisk(kept.pictures[slot]);
            }
        }
        return kept;
    });
}

OwnPack importFile(const QString& file, const QSet<QString>& reserved) {
    return build(QStringLiteral("import"), reserved,
                 [&](const QString& unpacking) { return PackFile::read(file, unpacking); });
}

OwnPack rename(const QString& id, const QString& name) {
    const QString checked = checkedPackName(name);
    const QString path = packFolder(id);
    OwnPack pack = readPack(path, id);
    for (const OwnPack& other : load())
        if (other.id != id && other.content.name == checked)
            throw OwnPackError(OwnPackError::nameTaken, checked);
    pack.content.name = checked;
    writeDescription(path, pack);
    return pack;
}

OwnPack setAnimation(const QString& id, PackReveal animation) {
    const QString path = packFolder(id);
    OwnPack pack = readPack(path, id);
    pack.content.animation = animation;
    writeDescription(path, pack);
    return pack;
}

QString remove(const QString& id) {
    const QString path = packFolder(id);
    const OwnPack pack = readPack(path, id);
    const QString base =
        QDir(WorkingFolder::removedItems())
            .filePath(QStringLiteral("Zestaw ") + PackFile::safeFileName(pack.content.name));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral(" (%1)").arg(n);
    moveDurably(path, target);
    return target;
}

std::vector<Removed> removed() {
    const QDir removedItems(WorkingFolder::removedItems());
    std::vector<Removed> found;
    for (const QString& name : removedItems.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        try {
            const QString path = removedItems.filePath(name);
            found.push_back({path, readPack(path).content.name});
        } catch (const ToviError&) {
            // Something else that was taken away, not a pack.
        }
    }
    sortByName(found, [](const Removed& item) { return item.name; });
    return found;
}

OwnPack restore(const QString& removedFolder, const QSet<QString>& reserved) {
    const QFileInfo info(removedFolder);
    OwnPack pack;
    try {
        if (info.absolutePath() != QDir(WorkingFolder::removedItems()).absolutePath())
            throw OwnPackError(OwnPackError::unknownPack);
        pack = readPack(info.absoluteFilePath());
    } catch (const ToviError&) {
        throw OwnPackError(OwnPackError::unknownPack, info.fileName());
    }
    if (!isOwnId(pack.id) || reserved.contains(pack.id) ||
        QFileInfo::exists(QDir(folder()).filePath(pack.id)))
        pack.id = freshId(reserved);
    pack.content.name = numbered(pack.content.name);
    writeDescription(info.absoluteFilePath(), pack);
    const QString target = QDir(folder()).filePath(pack.id);
    moveDurably(info.absoluteFilePath(), target);
    moveTo(pack.content, target);
    return pack;
}

} // namespace tovi::OwnPackStore
