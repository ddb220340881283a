#include "own_pack.h"
#include "app/polish_count.h"
#include "app/polish_format.h"
#include "app/product.h"
#include "packs/pack_file.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>

namespace tovi {
namespace {

// The animation as a pack file names it: stable words, not the labels of the interface.
const std::array<std::pair<PackReveal, QLatin1StringView>, 3> animationKeys{{
    {PackReveal::reveal, QLatin1StringView("reveal")},
    {PackReveal::spin, QLatin1StringView("spin")},
    {PackReveal::still, QLatin1StringView("still")},
}};

// Characters as a person counts them (grapheme clusters).
qsizetype characters(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() >= 0)
        ++count;
    return count;
}

OwnPackError malformed(const QString& detail) {
    return OwnPackError(OwnPackError::description, detail);
}

// A picture is named only by a plain file name beside "pack.json".
bool isPictureName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0)) && name != QStringLiteral("pack.json");
}

// What a person reads back from a hostile name: no control characters, not endless.
QString shown(const QString& name) {
    QString text;
    for (const QChar c : name)
        text += c.category() == QChar::Other_Control ? QChar(0xFFFD) : c;
    return text.size() > 60 ? text.left(59) + QStringLiteral("…") : text;
}

} // namespace

QJsonObject PackContent::toJson(const QString& id) const {
    QJsonArray cardArray;
    for (size_t slot = 0; slot < cards.size(); ++slot) {
        QJsonObject card = cards[slot].toJson();
        card.remove(QStringLiteral("customImage"));
        card.insert(QStringLiteral("picture"), QFileInfo(pictures[slot]).fileName());
        cardArray.append(card);
    }
    const auto animationKey =
        std::find_if(animationKeys.begin(), animationKeys.end(), [&](const auto& entry) {
            return entry.first == animation;
        })->second;
    QJsonObject object{{QStringLiteral("format"), packFormat},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("animation"), QString(animationKey)},
                       {QStringLiteral("cards"), cardArray}};
    if (!id.isEmpty())
        object.insert(QStringLiteral("id"), id);
    return object;
}

PackContent PackContent::fromJson(const QByteArray& bytes, const QString& folder, QString* id) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw malformed(QStringLiteral("to nie jest obiekt JSON"));
    const QJsonObject object = document.object();

    // The format first: a newer file may differ in everything else.
    const QJsonValue format = object.value(QStringLiteral("format"));
    const double number = format.toDouble(0);
    if (!format.isDouble() || number < 1 || number != std::floor(number))
        throw malformed(QStringLiteral("brak poprawnego numeru formatu"));
    if (number > packFormat)
        throw OwnPackError(OwnPackError::newerFormat);

    PackContent content;
    const QJsonValue name = object.value(QStringLiteral("name"));
    if (!name.isString())
        throw malformed(QStringLiteral("brak nazwy zestawu"));
    try {
        content.name = checkedPackName(name.toString());
    } catch (const OwnPackError&) {
        throw malformed(QStringLiteral("nazwa zestawu jest pusta albo za długa"));
    }
    const QString animation = object.value(QStringLiteral("animation")).toString();
    const auto key = std::find_if(animationKeys.begin(), animationKeys.end(),
                                  [&](const auto& entry) { return entry.second == animation; });
    if (key == animationKeys.end())
        throw malformed(QStringLiteral("nieznana animacja kart"));
    content.animation = key->first;

    const QJsonArray cards = object.value(QStringLiteral("cards")).toArray();
    if (cards.size() != Product::cardCount)
        throw malformed(QStringLiteral("zestaw nie ma sześciu kart"));
    for (size_t slot = 0; slot < Product::cardCount; ++slot) {
        const QJsonValue card = cards.at(qsizetype(slot));
        const auto edit = PackCardEdit::fromJson(card);
        const QString picture = card.toObject().value(QStringLiteral("picture")).toString();
        if (!edit || !isPictureName(picture))
            throw malformed(QStringLiteral("karta %1 jest niepełna").arg(slot + 1));
        if (characters(edit->title) > 40 || characters(edit->subtitle) > 70)
            throw malformed(QStringLiteral("podpis karty %1 jest za długi").arg(slot + 1));
        PackCardEdit& kept = content.cards[slot];
        kept = *edit;
        kept.customImage.reset();
        const CropSettings& crop = edit->crop;
        kept.crop = {std::clamp(crop.zoom, CropSettings::minZoom, CropSettings::maxZoom),
                     std::clamp(crop.x, -CropSettings::reach, CropSettings::reach),
                     std::clamp(crop.y, -CropSettings::reach, CropSettings::reach)};
        content.pictures[slot] = QDir(folder).filePath(picture);
    }
    if (id)
        *id = object.value(QStringLiteral("id")).toString();
    return content;
}

StarterPack OwnPack::info() const {
    StarterPack pack;
    pack.id = id;
    pack.name = content.name;
    for (const PackCardEdit& card : content.cards)
        pack.cards.push_back({card.title, card.subtitle});
    pack.meanings = QStringList(Product::cardCount, QString());
    return pack;
}

PackCardEdit OwnPack::card(int slot) const {
    PackCardEdit edit = content.cards.at(size_t(slot));
    edit.customImage.reset();
    return edit;
}

QString checkedPackName(const QString& name) {
    const QString trimmed = name.trimmed();
    const bool control = std::any_of(trimmed.begin(), trimmed.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
               c.category() == QChar::Separator_Paragraph;
    });
    if (trimmed.isEmpty() || control || characters(trimmed) > maxPackNameLength)
        throw OwnPackError(OwnPackError::badName);
    return trimmed;
}

QString OwnPackError::message() const {
    const QString nothing = QStringLiteral(" Niczego nie zaimportowano.");
    switch (m_kind) {
    case notPackFile:
        return QStringLiteral("To nie jest plik zestawu kart Tovi albo plik jest uszkodzony.") +
               nothing;
    case unsafeName:
        return QStringLiteral("Plik zestawu zawiera niebezpieczną ścieżkę „%1”, która mogłaby "
                              "wskazywać poza folder zestawu.")
                   .arg(shown(m_detail)) +
               nothing;
    case link:
        return QStringLiteral("Plik zestawu zawiera dowiązanie „%1” zamiast zwykłego pliku.")
                   .arg(shown(m_detail)) +
               nothing;
    case tooManyEntries:
        return QStringLiteral("Plik zestawu zawiera więcej niż %1.")
                   .arg(PolishCount::files(PackFile::maxEntries)) +
               nothing;
    case tooLarge:
        return QStringLiteral("Po rozpakowaniu plik zestawu zająłby ponad %1.")
                   .arg(PolishFormat::limitMegabytes(qint64(PackFile::maxUnpackedBytes))) +
               nothing;
    case compressionRatio:
        return QStringLiteral("Dane w pliku zestawu są skompresowane ponad stukrotnie, jak w "
                              "pliku-pułapce.") +
               nothing;
    case sizeMismatch:
        return QStringLiteral("Plik zestawu podaje nieprawdziwe rozmiary swoich plików, jak "
                              "plik-pułapka.") +
               nothing;
    case pictureTooLarge:
        return QStringLiteral("Obraz „%1” w pliku zestawu jest za duży, by go bezpiecznie "
                              "otworzyć.")
                   .arg(shown(m_detail)) +
               nothing;
    case pictureUnreadable:
        return QStringLiteral("Obraz „%1” w pliku zestawu jest uszkodzony albo nie jest obrazem.")
                   .arg(shown(m_detail)) +
               nothing;
    case description:
        return QStringLiteral("Opis zestawu (pack.json) jest niepoprawny: %1.").arg(m_detail) +
               nothing;
    case newerFormat:
        return QStringLiteral("Ten zestaw zapisano w nowszej wersji ToviStudio. Zaktualizuj "
                              "aplikację, aby go zaimportować.");
    case missingPicture:
        return QStringLiteral("W pliku zestawu brakuje obrazu „%1”.").arg(shown(m_detail)) +
               nothing;
    case tooLargeToShare:
        return QStringLiteral("Obrazy tego zestawu zajmują razem ponad %1, więc nie można go "
                              "udostępnić. Wybierz mniejsze obrazy i spróbuj ponownie.")
            .arg(PolishFormat::limitMegabytes(qint64(PackFile::maxUnpackedBytes)));
    case badName:
        return QStringLiteral("Nazwa zestawu nie może być pusta ani dłuższa niż %1 znaków.")
            .arg(maxPackNameLength);
    case nameTaken:
        return QStringLiteral("Masz już zestaw o nazwie „%1”. Wybierz inną nazwę.")
            .arg(shown(m_detail));
    case unknownPack:
        return QStringLiteral("Nie ma zestawu „%1”.").arg(shown(m_detail));
    }
    return {};
}

} // namespace tovi
