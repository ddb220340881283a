#include "app/decoding_error.h"
#include "device/pack_error.h"
#include "packs/starter_pack.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

StarterPack pack(const QString& id) {
    StarterPack p;
    p.id = id;
    p.name = QStringLiteral("Nazwa ") + id;
    p.description = QStringLiteral("Opis");
    for (int i = 0; i < 6; ++i) {
        p.cards.push_back(
            {QStringLiteral("Tytuł %1").arg(i), QStringLiteral("Podtytuł %1").arg(i)});
        p.meanings << QStringLiteral("Znaczenie %1").arg(i);
    }
    p.artDirection = QStringLiteral("Kierunek");
    p.styleNote = QStringLiteral("Styl");
    return p;
}

class Collection : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ResourceBundle bundle{dir.path()};

    void write(const QJsonArray& packs) { writeBytes(QJsonDocument(packs).toJson()); }
    void writeBytes(const QByteArray& bytes) {
        QFile file(dir.filePath(QStringLiteral("packs.json")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QJsonArray packs(int count) {
        QJsonArray array;
        for (int i = 0; i < count; ++i)
            array.append(pack(QStringLiteral("p%1").arg(i)).toJson());
        return array;
    }
    PackError::Kind loadFailure() {
        try {
            StarterPack::load(bundle);
        } catch (const PackError& error) {
            return error.kind();
        }
        ADD_FAILURE() << "the collection was accepted";
        return PackError::payload;
    }
};

} // namespace

TEST_F(Collection, LoadsTenValidPacksInFileOrder) {
    QJsonArray array = packs(10);
    QJsonObject first = array[0].toObject();
    QJsonArray cards = first[QStringLiteral("cards")].toArray();
    cards[0] = QJsonArray{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("extra")};
    first[QStringLiteral("cards")] = cards;
    array[0] = first;
    write(array);
    const auto loaded = StarterPack::load(bundle);
    ASSERT_EQ(loaded.size(), 10u);
    EXPECT_EQ(loaded[3].id, QStringLiteral("p3"));
    EXPECT_EQ(loaded[0].cards[0].size(), 3);
    EXPECT_EQ(StarterPack::fromJson(loaded[5].toJson()), loaded[5]);
}

TEST_F(Collection, RejectsTheWholeCollectionForOneBadPack) {
    EXPECT_EQ(loadFailure(), PackError::missingResource) << "no file at all";
    for (int count : {9, 11}) {
        write(packs(count));
        EXPECT_EQ(loadFailure(), PackError::missingResource) << count;
    }
    QJsonArray duplicate = packs(10);
    duplicate[7] = duplicate[2];
    write(duplicate);
    EXPECT_EQ(loadFailure(), PackError::missingResource);

    QJsonArray shortCard = packs(10);
    QJsonObject object = shortCard[4].toObject();
    QJsonArray cards = object[QStringLiteral("cards")].toArray();
    cards[5] = QJsonArray{QStringLiteral("only a title")};
    object[QStringLiteral("cards")] = cards;
    shortCard[4] = object;
    write(shortCard);
    EXPECT_EQ(loadFailure(), PackError::missingResource);

    QJsonArray fiveMeanings = packs(10);
    object = fiveMeanings[1].toObject();
    QJsonArray meanings = object[QStringLiteral("meanings")].toArray();
    meanings.removeLast();
    object[QStringLiteral("meanings")] = meanings;
    fiveMeanings[1] = object;
    write(fiveMeanings);
    EXPECT_EQ(loadFailure(), PackError::missingResource);
}

TEST_F(Collection, MalformedJsonIsADecodingError) {
    writeBytes("[{\"id\": \"x\"");
    EXPECT_THROW(StarterPack::load(bundle), DecodingError);
    QJsonArray missingKey = packs(10);
    QJsonObject object = missingKey[0].toObject();
    object.remove(QStringLiteral("styleNote"));
    missingKey[0] = object;
    write(missingKey);
    EXPECT_THROW(StarterPack::load(bundle), DecodingError);
}

TEST_F(Collection, ArtworkUsesCardNumbersOneToSix) {
    QFile(dir.filePath(QStringLiteral("pack-p1-6.jpg"))).open(QIODevice::WriteOnly);
    const StarterPack p = pack(QStringLiteral("p1"));
    EXPECT_EQ(p.artwork(5, bundle), dir.filePath(QStringLiteral("pack-p1-6.jpg")));
    for (int slot : {0, 6, -1})
        EXPECT_THROW(p.artwork(slot, bundle), PackError) << slot;
}

TEST(PackCardEditJson, OptionalPictureAndRequiredKeys) {
    PackCardEdit edit{
        QStringLiteral("Tytuł"), QStringLiteral("Pod"), true, std::nullopt, {2, 0.5, -0.5}};
    EXPECT_FALSE(edit.toJson().contains(QStringLiteral("customImage")));
    EXPECT_EQ(PackCardEdit::fromJson(edit.toJson()), edit);
    edit.customImage = QStringLiteral("abc.jpg");
    EXPECT_EQ(PackCardEdit::fromJson(edit.toJson()), edit);

    QJsonObject withNull = edit.toJson();
    withNull[QStringLiteral("customImage")] = QJsonValue::Null;
    EXPECT_EQ(PackCardEdit::fromJson(withNull)->customImage, std::nullopt);
    for (const char* key : {"captions", "crop", "title", "subtitle"}) {
        QJsonObject missing = edit.toJson();
        missing.remove(QLatin1String(key));
        EXPECT_FALSE(PackCardEdit::fromJson(missing)) << key;
    }

    const StarterPack p = pack(QStringLiteral("listening"));
    const PackCardEdit defaults = PackCardEdit::defaults(&p, 2);
    EXPECT_EQ(defaults.title, QStringLiteral("Tytuł 2"));
    EXPECT_EQ(defaults.subtitle, QStringLiteral("Podtytuł 2"));
    EXPECT_FALSE(defaults.captions);
    EXPECT_EQ(PackCardEdit::defaults(nullptr, 2).title, QString());
    EXPECT_EQ(cardKey(QStringLiteral("listening"), 5), QStringLiteral("listening/5"));
}
