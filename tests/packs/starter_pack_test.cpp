#include "app/decoding_error.h"
#include "device/pack_error.h"
#include "packs/starter_pack.h"
#include "support/device_fixtures.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <functional>
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
    // Ten packs, with the list under `key` of pack `index` changed by `how`.
    static QJsonArray changed(int index, const char* key,
                              const std::function<void(QJsonArray&)>& how) {
        QJsonArray array = packs(10);
        QJsonObject object = array[index].toObject();
        QJsonArray list = object[QLatin1String(key)].toArray();
        how(list);
        object[QLatin1String(key)] = list;
        array[index] = object;
        return array;
    }
    std::optional<int> loadFailure() {
        return test::kindThrown<PackError>([&] { StarterPack::load(bundle); });
    }
};

} // namespace

TEST_F(Collection, LoadsTenValidPacksInFileOrder) {
    write(changed(0, "cards", [](QJsonArray& cards) {
        cards[0] = QJsonArray{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("extra")};
    }));
    const auto loaded = StarterPack::load(bundle);
    ASSERT_EQ(loaded.size(), 10u);
    EXPECT_EQ(loaded[3].id, QStringLiteral("p3"));
    EXPECT_EQ(loaded[0].cards[0].size(), 3);
    EXPECT_EQ(StarterPack::fromJson(loaded[5].toJson()), loaded[5]);
}

TEST_F(Collection, RejectsTheWholeCollectionForOneBadPack) {
    EXPECT_EQ(loadFailure(), PackError::missingResource) << "no file at all";
    QJsonArray duplicate = packs(10);
    duplicate[7] = duplicate[2];
    const std::pair<const char*, QJsonArray> bad[] = {
        {"nine", packs(9)},
        {"eleven", packs(11)},
        {"one id twice", duplicate},
        {"a card with a title only",
         changed(4, "cards",
                 [](QJsonArray& cards) { cards[5] = QJsonArray{QStringLiteral("a title")}; })},
        {"five meanings",
         changed(1, "meanings", [](QJsonArray& meanings) { meanings.removeLast(); })}};
    for (const auto& [what, json] : bad) {
        write(json);
        EXPECT_EQ(loadFailure(), PackError::missingResource) << what;
    }
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
