#pragma once

#include "app/product.h"
#include "app/tovi_error.h"
#include "packs/starter_pack.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <array>

namespace tovi {

// Six cards ready to be kept or shared: the name, the card animation, each card's edit (title,
// subtitle, captions, crop; its customImage is not used) and the file its picture comes from.
struct PackContent {
    QString name;
    PackReveal animation = PackReveal::reveal;
    std::array<PackCardEdit, Product::cardCount> cards;
    std::array<QString, Product::cardCount> pictures; // absolute paths

    bool operator==(const PackContent&) const = default;

    // "pack.json": the format number, the name, the animation and the cards, each naming its
    // picture by the file name of `pictures[slot]`. The store adds the pack's id.
    QJsonObject toJson(const QString& id = {}) const;
    // Reads "pack.json" whose pictures lie in `folder`. Throws OwnPackError: newerFormat for a
    // format above packFormat, description for anything else that is not a valid pack (a
    // picture that is not a plain file name included). Whether the pictures exist is not asked.
    static PackContent fromJson(const QByteArray& bytes, const QString& folder,
                                QString* id = nullptr);
};

// The format number written into every "pack.json"; a file with a higher one is refused.
inline constexpr int packFormat = 1;
inline constexpr int maxPackNameLength = 60;

// A pack of the user's own, kept in the own-pack store.
struct OwnPack {
    QString id; // "own-" and eight hexadecimal digits; never a starter pack's id
    PackContent content;

    bool operator==(const OwnPack&) const = default;

    // The pack as the collection and the card screen show one: id, name, the six titles and
    // subtitles, no description or meanings.
    StarterPack info() const;
    // The card as the pack keeps it, without a custom picture: what a reset card goes back to.
    PackCardEdit card(int slot) const;
};

// The name a person gives a pack, trimmed; OwnPackError::badName when it is empty, longer than
// maxPackNameLength characters or holds a control character.
QString checkedPackName(const QString& name);

// Why an own pack could not be saved, changed or shared, or a pack file not imported.
class OwnPackError : public ToviError {
public:
    enum Kind {
        // Pack files from elsewhere: nothing has been imported when these are thrown.
        notPackFile,
        unsafeName,
        link,
        tooManyEntries,
        tooLarge,
        compressionRatio,
        sizeMismatch,
        pictureTooLarge,
        pictureUnreadable,
        description,
        newerFormat,
        missingPicture,
        // Keeping and sharing the user's own packs.
        tooLargeToShare,
        badName,
        nameTaken,
        unknownPack,
    };

    // `detail`: the entry or picture named (unsafeName, link, picture…, missingPicture), what is
    // wrong (description), the pack's name (nameTaken) or id (unknownPack).
    explicit OwnPackError(Kind kind, QString detail = {})
        : m_kind(kind)
        , m_detail(std::move(detail)) {}
    Kind kind() const { return m_kind; }
    const QString& detail() const { return m_detail; }
    QString message() const override;

private:
    Kind m_kind;
    QString m_detail;
};

} // namespace tovi
