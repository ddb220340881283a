#include "own_pack_store.h"

#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "app/polish_format.h"
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
#include <atomic>
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

void sortByName(auto& items, auto name) {
    QCollator collator{PolishFormat::locale()};
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
template <typename Fill> OwnPack build(const QString& kind, const Taken& taken, Fill fill) {
    const QString root = folder();
    QTemporaryDir building(
        QDir(root).filePath(QLatin1Char('.') + kind + QStringLiteral("-XXXXXX")));
    if (!building.isValid())
        throw PlatformError::fromErrno(errno ? errno : EACCES, root);
    OwnPack pack{freshId(taken.ids), fill(building.path())};
    pack.content.name = numbered(pack.content.name, taken.names);
    writeDescription(building.path(), pack);
    const QString target = QDir(root).filePath(pack.id);
    moveDurably(building.path(), target);
    building.setAutoRemove(false);
    moveTo(pack.content, target);
    return pack;
}

std::atomic<int> listings{0};

// What is wrong with the pack folder at `path`, as the collection says it (empty: nothing);
// `name` gets what its pack.json calls it when that much can be read.
QString damage(const QString& path, QString& name) {
    const QString description = QDir(path).filePath(descriptionName);
    if (!QFileInfo(description).isFile())
        return QStringLiteral("brak pliku pack.json");
    try {
        const QByteArray bytes = readFile(description);
        name = QJsonDocument::fromJson(bytes).object().value(QStringLiteral("name")).toString();
        const PackContent content = PackContent::fromJson(bytes, path);
        for (const QString& picture : content.pictures)
            if (!QFileInfo(picture).isFile())
                return QStringLiteral("brak obrazu „%1”").arg(QFileInfo(picture).fileName());
    } catch (const OwnPackError& error) {
        if (error.kind() == OwnPackError::newerFormat)
            return QStringLiteral("zapisany w nowszej wersji ToviStudio");
        return QStringLiteral("plik pack.json jest niepoprawny: %1").arg(error.detail());
    } catch (const ToviError& error) {
        return error.message();
    }
    return {};
}

} // namespace

QString folder() {
    return WorkingFolder::ownPacks();
}

const OwnPack* Listing::find(const QString& id) const {
    const auto found = std::find_if(packs.begin(), packs.end(),
                                    [&](const OwnPack& pack) { return pack.id == id; });
    return found == packs.end() ? nullptr : &*found;
}

QStringList Listing::names(const QStringList& also) const {
    QStringList names = also;
    for (const OwnPack& pack : packs)
        names << pack.content.name;
    return names;
}

void Listing::put(const OwnPack& pack) {
    forget(pack.id);
    packs.push_back(pack);
    sortByName(packs, [](const OwnPack& each) { return each.content.name; });
}

void Listing::forget(const QString& id) {
    std::erase_if(packs, [&](const OwnPack& pack) { return pack.id == id; });
    std::erase_if(damaged, [&](const Damaged& each) { return each.id == id; });
}

Listing load() {
    ++listings;
    const QString root = folder();
    Listing listing;
    for (const QString& id : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!isOwnId(id))
            continue;
        const QString path = QDir(root).filePath(id);
        Damaged damaged{id, {}, {}};
        damaged.reason = damage(path, damaged.name);
        if (!damaged.reason.isEmpty()) {
            listing.damaged.push_back(damaged);
            continue;
        }
        listing.packs.push_back(readPack(path, id));
    }
    sortByName(listing.packs, [](const OwnPack& pack) { return pack.content.name; });
    return listing;
}

int loads() {
    return listings;
}

QString numbered(const QString& name, const QStringList& taken) {
    QString candidate = name;
    for (int n = 2; taken.contains(candidate); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        candidate = name.left(maxPackNameLength - suffix.size()) + suffix;
    }
    return candidate;
}

OwnPack save(const PackContent& content, const Taken& taken) {
    const QString name = checkedPackName(content.name);
    return build(QStringLiteral("new"), taken, [&](const QString& building) {
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

OwnPack importFile(const QString& file, const Taken& taken) {
    return build(QStringLiteral("import"), taken,
                 [&](const QString& unpacking) { return PackFile::read(file, unpacking); });
}

OwnPack rename(const QString& id, const QString& name, const QStringList& taken) {
    const QString checked = checkedPackName(name);
    const QString path = packFolder(id);
    OwnPack pack = readPack(path, id);
    if (checked != pack.content.name && taken.contains(checked))
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
    // A damaged pack goes too, under what name it still has.
    QString name;
    if (damage(path, name).isEmpty())
        name = readPack(path, id).content.name;
    const QString base = QDir(WorkingFolder::removedPacks())
                             .filePath(QStringLiteral("Zestaw ") +
                                       PackFile::safeFileName(name.isEmpty() ? id : name));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral(" (%1)").arg(n);
    moveDurably(path, target);
    return target;
}

namespace {

// Where deleted packs are: their own folder, and the removed pictures' folder, where earlier
// versions put them.
QStringList removedFolders() {
    return {WorkingFolder::removedPacks(), WorkingFolder::removedItems()};
}

} // namespace

std::vector<Removed> removed() {
    std::vector<Removed> found;
    for (const QString& folder : removedFolders()) {
        const QDir removedItems(folder);
        for (const QString& name : removedItems.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            try {
                const QString path = removedItems.filePath(name);
                found.push_back({path, readPack(path).content.name});
            } catch (const ToviError&) {
                // Something else that was taken away, not a pack.
            }
        }
    }
    sortByName(found, [](const Removed& item) { return item.name; });
    return found;
}

OwnPack restore(const QString& removedFolder, const Taken& taken) {
    const QFileInfo info(removedFolder);
    OwnPack pack;
    try {
        const QString parent = info.absolutePath();
        const QStringList folders = removedFolders();
        if (std::none_of(folders.begin(), folders.end(), [&parent](const QString& folder) {
                return QDir(folder).absolutePath() == parent;
            }))
            throw OwnPackError(OwnPackError::unknownPack);
        pack = readPack(info.absoluteFilePath());
    } catch (const ToviError&) {
        throw OwnPackError(OwnPackError::unknownPack, info.fileName());
    }
    if (!isOwnId(pack.id) || taken.ids.contains(pack.id) ||
        QFileInfo::exists(QDir(folder()).filePath(pack.id)))
        pack.id = freshId(taken.ids);
    pack.content.name = numbered(pack.content.name, taken.names);
    writeDescription(info.absoluteFilePath(), pack);
    const QString target = QDir(folder()).filePath(pack.id);
    moveDurably(info.absoluteFilePath(), target);
    moveTo(pack.content, target);
    return pack;
}

} // namespace tovi::OwnPackStore
