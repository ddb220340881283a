#include "app/atomic_write.h"
#include "app/working_folder.h"
#include "media/c_handles.h"
#include "packs/own_pack_store.h"
#include "packs/packs_model.h"
#include "support/gif_builder.h"
#include "support/model_home.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

struct ZipEntry {
    QByteArray name;
    QByteArray bytes;
    bool deflate = false;
    quint32 unixMode = 0100644;
};

// A pack file as another program might write it, entry by entry, with libzip.
void writeZip(const QString& path, const std::vector<ZipEntry>& entries) {
    int error = 0;
    ZipPtr archive(
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    ASSERT_TRUE(archive);
    for (const ZipEntry& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive.get(), entry.bytes.constData(),
                                                 zip_uint64_t(entry.bytes.size()), 0);
        const zip_int64_t index =
            zip_file_add(archive.get(), entry.name.constData(), source, ZIP_FL_ENC_RAW);
        ASSERT_GE(index, 0) << entry.name.constData();
        zip_set_file_compression(archive.get(), zip_uint64_t(index),
                                 entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        zip_file_set_external_attributes(archive.get(), zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                         entry.unixMode << 16);
    }
    ASSERT_EQ(zip_close(archive.get()), 0);
    archive.release();
}

// Makes the local and central headers of entry `name` promise `size` unpacked bytes.
void claimSize(const QString& path, const QByteArray& name, quint32 size) {
    QByteArray zip = readFile(path);
    for (const auto& [signature, nameAt, sizeAt] :
         {std::tuple{QByteArray("PK\3\4"), 30, 22}, std::tuple{QByteArray("PK\1\2"), 46, 24}}) {
        qsizetype at = 0;
        while ((at = zip.indexOf(signature, at)) >= 0 && zip.mid(at + nameAt, name.size()) != name)
            ++at;
        ASSERT_GE(at, 0);
        for (int i = 0; i < 4; ++i)
            zip[at + sizeAt + i] = char((size >> (8 * i)) & 0xFF);
    }
    atomicWrite(path, zip);
}

QByteArray png(QColor colour) {
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    image.save(&buffer, "PNG");
    return bytes;
}

QJsonObject description() {
    QJsonArray cards;
    for (int n = 1; n <= 6; ++n)
        cards.append(QJsonObject{{QStringLiteral("title"), QStringLiteral("Karta %1").arg(n)},
                                 {QStringLiteral("subtitle"), QStringLiteral("Podpis")},
                                 {QStringLiteral("captions"), n % 2 == 0},
                                 {QStringLiteral("crop"), CropSettings{1.5, 0.5, -1}.toJson()},
                                 {QStringLiteral("picture"), QStringLiteral("%1.png").arg(n)}});
    return {{QStringLiteral("format"), 1},
            {QStringLiteral("name"), QStringLiteral("Od Oli")},
            {QStringLiteral("animation"), QStringLiteral("spin")},
            {QStringLiteral("cards"), cards}};
}

std::vector<ZipEntry> goodPack(const QJsonObject& json = description()) {
    std::vector<ZipEntry> entries{{"pack.json", QJsonDocument(json).toJson(), true}};
    for (int n = 1; n <= 6; ++n)
        entries.push_back({QByteArray::number(n) + ".png", png(QColor::fromHsv(n * 50, 200, 200))});
    return entries;
}

class OwnPacks : public ::testing::Test {
protected:
    static void settled(PacksModel& model) {
        ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
        ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    }
    // The six card GIFs the model would install now.
    static std::vector<QByteArray> cardGifs(PacksModel& model) {
        model.prepare(false, false);
        settled(model);
        std::vector<QByteArray> gifs;
        for (const QString& file : model.exported())
            gifs.push_back(readFile(file));
        return gifs;
    }
    // Everything in the working folder, hidden files included.
    QStringList everything() const {
        QStringList found;
        for (const QFileInfo& item : QDir(m_home.library())
                                         .entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::NoDotAndDotDot | QDir::System))
            found << item.fileName() +
                         (item.isDir() ? QLatin1Char('/') +
                                             QDir(item.filePath())
                                                 .entryList(QDir::AllEntries | QDir::Hidden |
                                                            QDir::NoDotAndDotDot | QDir::System)
                                                 .join(QLatin1Char(','))
                                       : QString());
        return found;
    }

    ModelHome m_home;
    QTemporaryDir m_dir;
};

TEST_F(OwnPacks, EveryHostileFileIsRefusedWithItsOwnMessageAndNothingWritten) {
    const auto add = [](ZipEntry entry) {
        return [entry](std::vector<ZipEntry>& entries) { entries.push_back(entry); };
    };
    const auto replace = [](const char* name, QByteArray bytes) {
        return [name, bytes](std::vector<ZipEntry>& entries) {
            for (ZipEntry& entry : entries)
                if (entry.name == name)
                    entry.bytes = bytes;
        };
    };
    const auto withJson = [&](const std::function<void(QJsonObject&)>& change) {
        QJsonObject json = description();
        change(json);
        return replace("pack.json", QJsonDocument(json).toJson());
    };
    const QByteArray huge = buildGif({60000, 60000}, {qRgb(0, 0, 0), qRgb(255, 255, 255)},
                                     {solidFrame({0, 0, 1, 1}, 1)});
    struct Hostile {
        const char* what;
        std::function<void(std::vector<ZipEntry>&)> change;
        OwnPackError::Kind kind;
        // Makes the headers of this entry promise a size of their own.
        QByteArray claimed = {};
        quint32 size = 0;
    };
    const std::vector<Hostile> table{
        {"a parent folder", add({"../1.png", "x"}), OwnPackError::unsafeName},
        {"a parent folder deeper down", add({"a/../../b", "x"}), OwnPackError::unsafeName},
        {"an absolute path", add({"/tmp/evil.png", "x"}), OwnPackError::unsafeName},
        {"a backslash", add({"pics\\1.png", "x"}), OwnPackError::unsafeName},
        {"a drive letter", add({"C:evil.png", "x"}), OwnPackError::unsafeName},
        {"a link", add({"7.png", "/etc/passwd", false, 0120777}), OwnPackError::link},
        {"65 entries",
         [](std::vector<ZipEntry>& entries) {
             for (int n = 0; n < 58; ++n)
                 entries.push_back({"extra" + QByteArray::number(n), "x"});
         },
         OwnPackError::tooManyEntries},
        {"over 64 MB in its headers", {}, OwnPackError::tooLarge, "1.png", 65u << 20},
        {"a ratio over 100", add({"zeros", QByteArray(2 << 20, '\0'), true}),
         OwnPackError::compressionRatio},
        {"more bytes than its headers say",
         replace("pack.json", QJsonDocument(description()).toJson() + QByteArray(2 << 20, ' ')),
         OwnPackError::sizeMismatch, "pack.json", 4000},
        {"a picture beyond the decode budget", replace("3.png", huge),
         OwnPackError::pictureTooLarge},
        {"a picture that is not one", replace("4.png", "no picture"),
         OwnPackError::pictureUnreadable},
        {"a malformed pack.json", replace("pack.json", "{\"format\": 1,"),
         OwnPackError::description},
        {"five cards", withJson([](QJsonObject& json) {
             QJsonArray cards = json[QStringLiteral("cards")].toArray();
             cards.removeLast();
             json[QStringLiteral("cards")] = cards;
         }),
         OwnPackError::description},
        {"a newer format", withJson([](QJsonObject& json) { json[QStringLiteral("format")] = 2; }),
         OwnPackError::newerFormat},
        {"a missing picture", [](std::vector<ZipEntry>& entries) { entries.pop_back(); },
         OwnPackError::missingPicture},
    };
    const QString file = m_dir.filePath(QStringLiteral("from a stranger.tovipack"));
    for (const Hostile& hostile : table) {
        std::vector<ZipEntry> entries = goodPack();
        if (hostile.change)
            hostile.change(entries);
        writeZip(file, entries);
        if (!hostile.claimed.isEmpty())
            claimSize(file, hostile.claimed, hostile.size);
        try {
            OwnPackStore::importFile(file, {});
            ADD_FAILURE() << hostile.what << " was imported";
        } catch (const OwnPackError& error) {
            EXPECT_EQ(error.kind(), hostile.kind)
                << hostile.what << ": " << error.message().toStdString();
        }
        // Only the store's folder is there, empty: the temporary folder went with the failure.
        EXPECT_EQ(everything(), QStringList{QStringLiteral("OwnPacks/")}) << hostile.what;
    }
    atomicWrite(file, "PK\3\4 not really");
    try {
        OwnPackStore::importFile(file, {});
        ADD_FAILURE() << "a file that is no ZIP was imported";
    } catch (const OwnPackError& error) {
        EXPECT_EQ(error.kind(), OwnPackError::notPackFile);
    }

    // The same file, untouched, is a pack.
    writeZip(file, goodPack());
    const OwnPack pack = OwnPackStore::importFile(file, {});
    EXPECT_EQ(pack.content.name, QStringLiteral("Od Oli"));
    EXPECT_EQ(pack.content.animation, PackReveal::spin);
    EXPECT_EQ(pack.content.cards[1].crop, (CropSettings{1.5, 0.5, -1}));
    EXPECT_EQ(readFile(pack.content.pictures[5]), goodPack()[6].bytes);
}

TEST_F(OwnPacks, SavedSharedAndImportedElsewhereTheSixCardsStayTheSame) {
    QImage photo(1234, 777, QImage::Format_RGB32);
    photo.fill(QColor(30, 140, 90));
    const QString user = m_dir.filePath(QStringLiteral("holiday.jpg"));
    ASSERT_TRUE(photo.save(user, "JPG", 97));
    const QString file = m_dir.filePath(QStringLiteral("Wakacje.tovipack"));
    std::vector<QByteArray> gifs;
    {
        PacksModel model(m_home.settings());
        model.selectPack(QStringLiteral("party"));
        model.selectCard(2);
        model.importImage(QUrl::fromLocalFile(user));
        settled(model);
        model.update([](PackCardEdit& edit) {
            edit.title = QStringLiteral("Plaża");
            edit.captions = true;
            edit.crop = {1.7, -0.4, 0.6};
        });
        model.setAnimation(PackReveal::spin);
        model.saveOwnPack(QStringLiteral("  Wakacje "));
        settled(model);
        ASSERT_EQ(model.ownPacks().size(), 1u);
        const OwnPack& own = model.ownPacks().front();
        EXPECT_EQ(model.selectedID(), own.id);
        EXPECT_EQ(model.pack()->name, QStringLiteral("Wakacje"));
        EXPECT_EQ(model.message(), QStringLiteral("Zapisano zestaw „Wakacje” w Moich zestawach."));
        // The user's picture is kept as it was given, not at the device's size.
        EXPECT_EQ(readFile(own.content.pictures[2]), readFile(user));
        gifs = cardGifs(model);
        model.exportPack(own.id, file);
        settled(model);
    }
    ModelHome fresh;
    PacksModel model(fresh.settings());
    model.importPack(file);
    settled(model);
    ASSERT_EQ(model.ownPacks().size(), 1u);
    EXPECT_EQ(model.selectedID(), model.ownPacks().front().id);
    EXPECT_EQ(model.animation(), PackReveal::spin);
    EXPECT_EQ(model.edit().crop, CropSettings{});
    model.selectCard(2);
    EXPECT_EQ(model.edit().title, QStringLiteral("Plaża"));
    EXPECT_EQ(cardGifs(model), gifs);

    // A second import keeps both.
    model.importPack(file);
    settled(model);
    ASSERT_EQ(model.ownPacks().size(), 2u);
    EXPECT_EQ(model.pack()->name, QStringLiteral("Wakacje (2)"));
    EXPECT_NE(model.ownPacks()[0].id, model.ownPacks()[1].id);
}

TEST_F(OwnPacks, AreEditedRenamedDeletedAndBroughtBack) {
    QString id;
    {
        PacksModel model(m_home.settings());
        model.update([](PackCardEdit& edit) { edit.title = QStringLiteral("Plaża"); });
        model.saveOwnPack(QStringLiteral("Lato"));
        settled(model);
        id = model.selectedID();
        // Edited like a starter pack: a reset goes back to the card as it was saved.
        model.update([](PackCardEdit& edit) { edit.title = QStringLiteral("Góry"); });
        model.resetCard();
        EXPECT_EQ(model.edit().title, QStringLiteral("Plaża"));
        model.setAnimation(PackReveal::still);

        model.renameOwnPack(id, QStringLiteral(" Zima "));
        EXPECT_EQ(model.pack()->name, QStringLiteral("Zima"));
        model.renameOwnPack(id, QString(61, QLatin1Char('z')));
        EXPECT_EQ(model.error(), OwnPackError(OwnPackError::badName).message());
        model.clearError();
        model.saveOwnPack(QStringLiteral("Zima"));
        settled(model);
        EXPECT_EQ(model.pack()->name, QStringLiteral("Zima (2)"));
        model.renameOwnPack(model.selectedID(), QStringLiteral("Zima"));
        EXPECT_EQ(model.error(),
                  OwnPackError(OwnPackError::nameTaken, QStringLiteral("Zima")).message());
        model.clearError();

        model.deleteOwnPack(model.selectedID());
        EXPECT_EQ(model.selectedID(), model.packs().front().id);
        ASSERT_EQ(model.ownPacks().size(), 1u);
        const auto removed = model.removedOwnPacks();
        ASSERT_EQ(removed.size(), 1u);
        EXPECT_EQ(removed[0].folder,
                  WorkingFolder::removedItems() + QStringLiteral("/Zestaw Zima (2)"));
        model.selectPack(id);
    }
    // The next run finds the pack selected, with its animation, and can bring the other back.
    PacksModel model(m_home.settings());
    EXPECT_EQ(model.selectedID(), id);
    EXPECT_EQ(model.animation(), PackReveal::still);
    model.restoreOwnPack(model.removedOwnPacks().at(0).folder);
    ASSERT_EQ(model.ownPacks().size(), 2u);
    EXPECT_EQ(model.ownPacks()[1].content.name, QStringLiteral("Zima (2)"));
    EXPECT_TRUE(model.removedOwnPacks().empty());
}

} // namespace
