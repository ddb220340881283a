#pragma once

#include "app/resource_bundle.h"
#include "media/media_types.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <vector>

namespace tovi {

// One themed set of six cards from the application's collection.
struct StarterPack {
    QString id;
    QString name;
    QString description;
    std::vector<QStringList> cards; // six entries; [0] title, [1] subtitle, more are ignored
    QString artDirection;
    QString styleNote;
    QStringList meanings; // six, one per slot

    bool operator==(const StarterPack&) const = default;

    QJsonObject toJson() const;
    // Throws DecodingError when a key is missing or has the wrong type.
    static StarterPack fromJson(const QJsonValue& value);

    // The whole collection in file order. Throws PackError::missingResource when the file is
    // missing or the collection is not ten valid packs with distinct ids; DecodingError or
    // PlatformError when it cannot be read or parsed.
    static std::vector<StarterPack> load(const ResourceBundle& bundle);
    // The artwork file of a slot (0…5); PackError::missingResource when there is none.
    QString artwork(int slot, const ResourceBundle& bundle) const;
};

// The user's changes to one card on top of its pack's defaults.
struct PackCardEdit {
    QString title;
    QString subtitle;
    bool captions = false;
    std::optional<QString> customImage; // a file name in the pack storage folder
    CropSettings crop;

    bool operator==(const PackCardEdit&) const = default;

    QJsonObject toJson() const;
    // Nothing when a required key is missing or has the wrong type.
    static std::optional<PackCardEdit> fromJson(const QJsonValue& value);
    // The untouched card: the pack's title and subtitle (empty without a pack).
    static PackCardEdit defaults(const StarterPack* pack, int slot);
};

// How a card comes into view on the device; the raw value is also its label.
enum class PackReveal { reveal, spin, still };
inline constexpr std::array allPackReveals{PackReveal::reveal, PackReveal::spin, PackReveal::still};
QString rawValue(PackReveal reveal);

// The key of a card's stored edit: pack id, "/", slot 0…5.
QString cardKey(const QString& packId, int slot);

// The stored edits of every card, by card key: the content of "edits.json".
using PackEdits = std::map<QString, PackCardEdit>;
QByteArray encodeEdits(const PackEdits& edits);
// Throws DecodingError when the bytes are not an object of valid card edits.
PackEdits decodeEdits(const QByteArray& bytes);

} // namespace tovi
