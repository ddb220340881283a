// The files and settings the application reads back from disk: the first byte picks the reader,
// the rest is the stored text. Whatever parses must survive being written and read again,
// because that is what the next run of the application does with it.

#include "app/resource_bundle.h"
#include "app/tovi_error.h"
#include "device/game_backup_manifest.h"
#include "device/tovi_connection_store.h"
#include "fuzz_support.h"
#include "media/media_types.h"
#include "packs/starter_pack.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>

namespace {

void check(bool promise) {
    if (!promise)
        __builtin_trap();
}

// A stored value as the readers of single values get it: the document's object or array.
QJsonValue valueOf(const QByteArray& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (document.isObject())
        return document.object();
    if (document.isArray())
        return document.array();
    return {};
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Game1 backups: "manifest.json".
void backupManifest(const QByteArray& text) {
    const tovi::GameBackupManifest manifest = tovi::GameBackupManifest::fromJson(text);
    check(tovi::GameBackupManifest::fromJson(manifest.toJson()) == manifest);
}

// The card edits: "edits.json".
void cardEdits(const QByteArray& text) {
    const tovi::PackEdits edits = tovi::decodeEdits(text);
    check(tovi::decodeEdits(tovi::encodeEdits(edits)) == edits);
}

void cardEdit(const QByteArray& text) {
    if (const auto edit = tovi::PackCardEdit::fromJson(valueOf(text)))
        check(tovi::PackCardEdit::fromJson(valueOf(compact(edit->toJson()))) == edit);
}

void starterPack(const QByteArray& text) {
    const tovi::StarterPack pack = tovi::StarterPack::fromJson(valueOf(text));
    check(tovi::StarterPack::fromJson(valueOf(compact(pack.toJson()))) == pack);
}

// The collection, read from a resource folder as the application reads "packs.json".
void packCollection(const QByteArray& text) {
    tovi::fuzz::writeScratch(QStringLiteral("packs.json"), text);
    const std::vector<tovi::StarterPack> packs =
        tovi::StarterPack::load(tovi::ResourceBundle(tovi::fuzz::scratchFolder()));
    check(packs.size() == 10);
}

void cropSettings(const QByteArray& text) {
    if (const auto crop = tovi::CropSettings::fromJson(valueOf(text)))
        check(tovi::CropSettings::fromJson(valueOf(compact(crop->toJson()))) == crop);
}

// The remembered device folder, as the settings hand its bytes back.
void rememberedDevice(const QByteArray& bytes) {
    if (const auto folder = tovi::ToviConnectionStore::resolve(bytes))
        check(QFileInfo(*folder).isDir());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    tovi::fuzz::ensureApplication();
    const QByteArray text(reinterpret_cast<const char*>(data + 1),
                          static_cast<qsizetype>(size - 1));
    try {
        switch (data[0] % 7) {
        case 0:
            backupManifest(text);
            break;
        case 1:
            cardEdits(text);
            break;
        case 2:
            cardEdit(text);
            break;
        case 3:
            starterPack(text);
            break;
        case 4:
            packCollection(text);
            break;
        case 5:
            cropSettings(text);
            break;
        default:
            rememberedDevice(text);
            break;
        }
    } catch (const tovi::ToviError&) {
    }
    return 0;
}
