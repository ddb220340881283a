#include "starter_pack.h"

#include "app/decoding_error.h"
#include "app/platform_error.h"
#include "app/product.h"
#include "device/pack_error.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <cerrno>

namespace tovi {
namespace {

const QString collectionName = QStringLiteral("packs.json");

DecodingError malformed(const QString& detail) {
    return DecodingError(collectionName, detail);
}

QJsonValue required(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined())
        throw malformed(QStringLiteral("brak pola „%1”").arg(QLatin1String(key)));
    return value;
}

QString requiredString(const QJsonObject& object, const char* key) {
    const QJsonValue value = required(object, key);
    if (!value.isString())
        throw malformed(QStringLiteral("pole „%1” nie jest tekstem").arg(QLatin1String(key)));
    return value.toString();
}

QStringList stringArray(const QJsonValue& value, const char* key) {
    if (!value.isArray())
        throw malformed(QStringLiteral("pole „%1” nie jest listą").arg(QLatin1String(key)));
    QStringList strings;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString())
            throw malformed(
                QStringLiteral("pole „%1” zawiera coś innego niż tekst").arg(QLatin1String(key)));
        strings << item.toString();
    }
    return strings;
}

} // namespace

QJsonObject StarterPack::toJson() const {
    QJsonArray cardArray;
    for (const QStringList& card : cards)
        cardArray.append(QJsonArray::fromStringList(card));
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("description"), description},
                       {QStringLiteral("cards"), cardArray},
                       {QStringLiteral("artDirection"), artDirection},
                       {QStringLiteral("styleNote"), styleNote},
                       {QStringLiteral("meanings"), QJsonArray::fromStringList(meanings)}};
}

StarterPack StarterPack::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        throw malformed(QStringLiteral("zestaw nie jest obiektem"));
    const QJsonObject object = value.toObject();
    StarterPack pack;
    pack.id = requiredString(object, "id");
    pack.name = requiredString(object, "name");
    pack.description = requiredString(object, "description");
    const QJsonValue cards = required(object, "cards");
    if (!cards.isArray())
        throw malformed(QStringLiteral("pole „cards” nie jest listą"));
    for (const QJsonValue& card : cards.toArray())
        pack.cards.push_back(stringArray(card, "cards"));
    pack.artDirection = requiredString(object, "artDirection");
    pack.styleNote = requiredString(object, "styleNote");
    pack.meanings = stringArray(required(object, "meanings"), "meanings");
    return pack;
}

std::vector<StarterPack> StarterPack::load(const ResourceBundle& bundle) {
    const auto path = bundle.url(QStringLiteral("packs"), QStringLiteral("json"));
    if (!path)
        throw PackError(PackError::missingResource);
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlatformError::fromErrno(EACCES, *path);
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw malformed(parseError.errorString());
    if (!document.isArray())
        throw malformed(QStringLiteral("plik nie zawiera listy zestawów"));

    std::vector<StarterPack> packs;
    for (const QJsonValue& value : document.array())
        packs.push_back(fromJson(value));

    QSet<QString> ids;
    for (const StarterPack& pack : packs) {
        ids.insert(pack.id);
        const bool cardsValid =
            std::all_of(pack.cards.begin(), pack.cards.end(),
                        [](const QStringList& card) { return card.size() >= 2; });
        if (pack.cards.size() != Product::cardCount || pack.meanings.size() != Product::cardCount ||
            !cardsValid)
            throw PackError(PackError::missingResource);
    }
    if (packs.size() != 10 || ids.size() != 10)
        throw PackError(PackError::missingResource);
    return packs;
}

QString StarterPack::artwork(int slot, const ResourceBundle& bundle) const {
    if (slot < 0 || slot > 5)
        throw PackError(PackError::missingResource);
    const auto path =
        bundle.url(QStringLiteral("pack-%1-%2").arg(id).arg(slot + 1), QStringLiteral("jpg"));
    if (!path)
        throw PackError(PackError::missingResource);
    return *path;
}

QJsonObject PackCardEdit::toJson() const {
    QJsonObject object{{QStringLiteral("title"), title},
                       {QStringLiteral("subtitle"), subtitle},
                       {QStringLiteral("captions"), captions},
                       {QStringLiteral("crop"), crop.toJson()}};
    if (customImage)
        object.insert(QStringLiteral("customImage"), *customImage);
    return object;
}

std::optional<PackCardEdit> PackCardEdit::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue title = object.value(QStringLiteral("title"));
    const QJsonValue subtitle = object.value(QStringLiteral("subtitle"));
    const QJsonValue captions = object.value(QStringLiteral("captions"));
    const QJsonValue customImage = object.value(QStringLiteral("customImage"));
    const auto crop = CropSettings::fromJson(object.value(QStringLiteral("crop")));
    if (!title.isString() || !subtitle.isString() || !captions.isBool() || !crop)
        return std::nullopt;
    PackCardEdit edit{title.toString(), subtitle.toString(), captions.toBool(), std::nullopt,
                      *crop};
    if (customImage.isString())
        edit.customImage = customImage.toString();
    else if (!customImage.isUndefined() && !customImage.isNull())
        return std::nullopt;
    return edit;
}

PackCardEdit PackCardEdit::defaults(const StarterPack* pack, int slot) {
    PackCardEdit edit;
    if (pack && slot >= 0 && slot < static_cast<int>(pack->cards.size())) {
        edit.title = pack->cards[slot].value(0);
        edit.subtitle = pack->cards[slot].value(1);
    }
    return edit;
}

QString rawValue(PackReveal reveal) {
    switch (reveal) {
    case PackReveal::reveal:
        return QStringLiteral("Odsłonięcie");
    case PackReveal::spin:
        return QStringLiteral("Obrót");
    case PackReveal::still:
        return QStringLiteral("Bez ruchu");
    }
    return {};
}

QString cardKey(const QString& packId, int slot) {
    return packId + QLatin1Char('/') + QString::number(slot);
}

QByteArray encodeEdits(const PackEdits& edits) {
    QJsonObject object;
    for (const auto& [key, edit] : edits)
        object.insert(key, edit.toJson());
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

PackEdits decodeEdits(const QByteArray& bytes) {
    const QString file = QStringLiteral("edits.json");
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw DecodingError(file, QStringLiteral("plik nie zawiera poprawnych zmian kart"));
    PackEdits edits;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto edit = PackCardEdit::fromJson(it.value());
        if (!edit)
            throw DecodingError(file, QStringLiteral("niepoprawny zapis karty „%1”").arg(it.key()));
        edits.emplace(it.key(), *edit);
    }
    return edits;
}

} // namespace tovi
