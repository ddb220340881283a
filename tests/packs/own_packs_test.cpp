#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "app/working_folder.h"
#include "media/c_handles.h"
#include "packs/own_pack_library.h"
#include "packs/own_pack_store.h"
#include "packs/packs_model.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/gif_builder.h"
#include "support/model_home.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <thread>

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

// Makes the local and central headers of entry `name` promise `size` unpacked bytes, and with
// `wrongChecksum` a checksum its data does not have.
void claimSize(const QString& path, const QByteArray& name, quint32 size,
               bool wrongChecksum = false) {
    QByteArray zip = readFile(path);
    for (const auto& [signature, nameAt, crcAt] :
         {std::tuple{QByteArray("PK\3\4"), 30, 14}, std::tuple{QByteArray("PK\1\2"), 46, 16}}) {
        qsizetype at = 0;
        while ((at = zip.indexOf(signature, at)) >= 0 && zip.mid(at + nameAt, name.size()) != name)
            ++at;
        ASSERT_GE(at, 0);
        for (int i = 0; i < 4; ++i)
            zip[at + crcAt + 8 + i] = char((size >> (8 * i)) & 0xFF);
        if (wrongChecksum)
            zip[at + crcAt] = char(zip[at + crcAt] ^ 1);
    }
    atomicWrite(path, zip);
}

void put(QByteArray& bytes, qsizetype at, quint32 value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

quint32 get(const QByteArray& bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// Rewrites a libzip archive as a stream writer leaves it (libzip itself cannot): each local
// header blank, with flag 3 set, and the checksum and sizes in a data descriptor after the data.
void stream(const QString& path) {
    const QByteArray zip = readFile(path);
    const qsizetype end = zip.lastIndexOf("PK\5\6");
    ASSERT_GE(end, 0);
    const quint32 entries = get(zip, end + 10, 2);
    QByteArray locals;
    QByteArray central;
    for (qsizetype at = get(zip, end + 16, 4); central.size() < qsizetype(get(zip, end + 12, 4));) {
        QByteArray record =
            zip.mid(at, 46 + get(zip, at + 28, 2) + get(zip, at + 30, 2) + get(zip, at + 32, 2));
        at += record.size();
        const qsizetype local = get(record, 42, 4);
        const qsizetype header = 30 + get(zip, local + 26, 2) + get(zip, local + 28, 2);
        QByteArray entry = zip.mid(local, header + get(record, 20, 4));
        put(entry, 6, get(entry, 6, 2) | 8, 2);
        put(entry, 14, 0, 4);
        put(entry, 18, 0, 4);
        put(entry, 22, 0, 4);
        entry += QByteArray("PK\7\x08") + record.mid(16, 12);
        put(record, 8, get(record, 8, 2) | 8, 2);
        put(record, 42, quint32(locals.size()), 4);
        locals += entry;
        central += record;
    }
    QByteArray tail = zip.mid(end);
    put(tail, 16, quint32(locals.size()), 4);
    ASSERT_EQ(get(tail, 10, 2), entries);
    atomicWrite(path, locals + central + tail);
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
        // The third card's title and subtitle as long as the editor lets them be.
        cards.append(
            QJsonObject{{QStringLiteral("title"),
                         n == 3 ? QString(40, QChar(0x17C)) : QStringLiteral("Karta %1").arg(n)},
                        {QStringLiteral("subtitle"),
                         n == 3 ? QString(70, QChar(0x17C)) : QStringLiteral("Podpis")},
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

// The library's changes, each waited for; a failed one gives nothing and leaves its `error`.
struct Changes {
    explicit Changes(OwnPackLibrary& changed)
        : library(changed) {}

    template <typename Result>
    Result wait(const std::function<void(OwnPackLibrary::Done<Result>)>& start) {
        std::optional<Outcome<Result>> outcome;
        start([&](const Outcome<Result>& done) { outcome = done; });
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value() && !library.busy(); }));
        error = outcome ? outcome->error : QStringLiteral("no answer");
        return outcome && outcome->ok() ? *outcome->value : Result{};
    }
    OwnPackLibrary::Saved save(const PackContent& content) {
        return wait<OwnPackLibrary::Saved>([&](auto done) { library.save(content, done); });
    }
    OwnPackLibrary::Imported import(const QString& file) {
        return wait<OwnPackLibrary::Imported>([&](auto done) { library.importFile(file, done); });
    }
    OwnPackLibrary::Renamed rename(const QString& id, const QString& name) {
        return wait<OwnPackLibrary::Renamed>([&](auto done) { library.rename(id, name, done); });
    }
    OwnPackLibrary::Removed remove(const QString& id) {
        return wait<OwnPackLibrary::Removed>([&](auto done) { library.remove(id, done); });
    }
    OwnPackLibrary::Restored restore(const QString& folder) {
        return wait<OwnPackLibrary::Restored>([&](auto done) { library.restore(folder, done); });
    }

    OwnPackLibrary& library;
    QString error;
};

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
        // Changes the written file.
        std::function<void(const QString&)> after = {};
    };
    QByteArray noise(150 << 10, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const auto tooLong = [&](const char* field, int length) {
        return withJson([field, length](QJsonObject& json) {
            QJsonArray cards = json[QStringLiteral("cards")].toArray();
            QJsonObject card = cards[2].toObject();
            card[QLatin1String(field)] = QString(length, QChar(0x17C)); // "ż"
            cards[2] = card;
            json[QStringLiteral("cards")] = cards;
        });
    };
    // Gives more than it promises, and its checksum is wrong: read on to its end it would be
    // told as damaged, so only a read stopped at the promised size tells it as lying.
    const auto overflowing =
        replace("pack.json", QJsonDocument(description()).toJson() + QByteArray(2 << 20, ' '));
    const auto promise4000 = [](const QString& file) { claimSize(file, "pack.json", 4000, true); };
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
        {"an end record announcing 60000 entries",
         {},
         OwnPackError::tooManyEntries,
         [](const QString& file) {
             QByteArray zip = readFile(file);
             const qsizetype end = zip.lastIndexOf("PK\5\6");
             put(zip, end + 8, 60000, 2);
             put(zip, end + 10, 60000, 2);
             atomicWrite(file, zip);
         }},
        {"over 64 MB in its headers",
         {},
         OwnPackError::tooLarge,
         [](const QString& file) { claimSize(file, "1.png", 65u << 20); }},
        {"over 64 MB in six entries' headers",
         [&](std::vector<ZipEntry>& entries) {
             for (int n = 0; n < 6; ++n)
                 entries.push_back({"extra" + QByteArray::number(n), noise});
         },
         OwnPackError::tooLarge,
         [](const QString& file) {
             for (int n = 0; n < 6; ++n)
                 claimSize(file, "extra" + QByteArray::number(n), 11u << 20);
         }},
        {"a ratio over 100", add({"zeros", QByteArray(2 << 20, '\0'), true}),
         OwnPackError::compressionRatio},
        {"more bytes than its headers say", overflowing, OwnPackError::sizeMismatch, promise4000},
        {"more bytes than its data descriptor says", overflowing, OwnPackError::sizeMismatch,
         [&](const QString& file) {
             stream(file);
             promise4000(file);
         }},
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
        {"a title of 41 characters", tooLong("title", 41), OwnPackError::description},
        {"a subtitle of 71 characters", tooLong("subtitle", 71), OwnPackError::description},
        {"a newer format", withJson([](QJsonObject& json) { json[QStringLiteral("format")] = 2; }),
         OwnPackError::newerFormat},
        {"a missing picture", [](std::vector<ZipEntry>& entries) { entries.pop_back(); },
         OwnPackError::missingPicture},
        {"no ZIP at all",
         {},
         OwnPackError::notPackFile,
         [](const QString& file) { atomicWrite(file, "PK\3\4 not really"); }},
    };
    const QString file = m_dir.filePath(QStringLiteral("from a stranger.tovipack"));
    for (const Hostile& hostile : table) {
        std::vector<ZipEntry> entries = goodPack();
        if (hostile.change)
            hostile.change(entries);
        writeZip(file, entries);
        if (hostile.after)
            hostile.after(file);
        try {
            OwnPackStore::importFile(file, {});
            ADD_FAILURE() << hostile.what << " was imported";
        } catch (const OwnPackError& error) {
            EXPECT_EQ(error.kind(), hostile.kind)
                << hostile.what << ": " << error.message().toStdString();
        }
        // Only the store's folder is there, empty: the temporary folder went with the failure.
        EXPECT_EQ(tree(m_home.library()), (std::map<QString, QByteArray>{{"OwnPacks/", {}}}))
            << hostile.what;
    }
    // The same file, untouched, is a pack.
    writeZip(file, goodPack());
    const OwnPack pack = OwnPackStore::importFile(file, {});
    EXPECT_EQ(pack.content.name, QStringLiteral("Od Oli"));
    EXPECT_EQ(pack.content.animation, PackReveal::spin);
    EXPECT_EQ(pack.content.cards[1].crop, (CropSettings{1.5, 0.5, -1}));
    EXPECT_EQ(readFile(pack.content.pictures[5]), goodPack()[6].bytes);
}

// Runs `command` through the shell in `folder`; the tools are installed by scripts/setup.sh.
void run(const QString& folder, const QString& command) {
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("sh"), {QStringLiteral("-ec"), command});
    ASSERT_TRUE(shell.waitForFinished(60000));
    ASSERT_EQ(shell.exitCode(), 0) << command.toStdString() << "\n"
                                   << shell.readAllStandardError().toStdString();
}

TEST_F(OwnPacks, EveryHonestZipImportsTheSameSixCards) {
    const QString folder = m_dir.filePath(QStringLiteral("Wakacje"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const ZipEntry& entry : goodPack())
        atomicWrite(QDir(folder).filePath(QString::fromUtf8(entry.name)), entry.bytes);
    const QString python = QStringLiteral(
        "python3 -c 'import zipfile, sys, os; z = zipfile.ZipFile(sys.argv[1], \"w\", "
        "zipfile.%1); [z.write(f) for f in sorted(os.listdir())]; z.close()' ");
    struct Form {
        const char* what;
        QString command; // run in the pack's folder, writes ../pack.zip
        std::function<void(const QString&)> after = {};
    };
    const std::vector<Form> forms{
        {"zip", QStringLiteral("zip -q ../pack.zip *")},
        {"zip -fd", QStringLiteral("zip -q -fd ../pack.zip *")},
        {"zip to a pipe", QStringLiteral("zip -q - * | cat > ../pack.zip")},
        {"7-Zip", QStringLiteral("7z a -tzip -bd ../pack.zip * > /dev/null")},
        {"Python deflated", python.arg(QStringLiteral("ZIP_DEFLATED")) + "../pack.zip"},
        {"Python stored", python.arg(QStringLiteral("ZIP_STORED")) + "../pack.zip"},
        {"Python to a pipe",
         python.arg(QStringLiteral("ZIP_DEFLATED")) + "/dev/stdout | cat > ../pack.zip"},
        {"a comment and extra fields",
         QStringLiteral("echo 'Od Oli dla Ani' | zip -q -z ../pack.zip * && zipinfo -v ../pack.zip "
                        "| grep -q 'extra field'")},
        {"the folder zipped", QStringLiteral("cd .. && zip -q -r pack.zip Wakacje")},
        {"the folder zipped without its own entry",
         QStringLiteral("cd .. && zip -q -r -D pack.zip Wakacje")},
        {"the folder zipped on a Mac",
         QStringLiteral(
             "cd .. && zip -q -r pack.zip Wakacje && mkdir -p __MACOSX/Wakacje && "
             "echo fork > __MACOSX/Wakacje/._1.png && cp Wakacje/2.png Wakacje/._2.png && "
             "zip -q -r pack.zip __MACOSX Wakacje/._2.png && rm -r __MACOSX Wakacje/._2.png")},
        {"libzip, then streamed",
         {},
         [&](const QString& zip) {
             writeZip(zip, goodPack());
             stream(zip);
         }},
    };
    const QString zip = m_dir.filePath(QStringLiteral("pack.zip"));
    for (const Form& form : forms) {
        QFile::remove(zip);
        if (!form.command.isEmpty())
            run(folder, form.command);
        if (form.after)
            form.after(zip);
        try {
            const OwnPack pack = OwnPackStore::importFile(zip, {});
            EXPECT_EQ(pack.content.name, QStringLiteral("Od Oli")) << form.what;
            EXPECT_EQ(pack.content.cards[1].crop, (CropSettings{1.5, 0.5, -1})) << form.what;
            EXPECT_EQ(pack.content.cards[2].subtitle.size(), 70) << form.what;
            for (int n = 1; n <= 6; ++n)
                EXPECT_EQ(readFile(pack.content.pictures[size_t(n - 1)]),
                          goodPack()[size_t(n)].bytes)
                    << form.what << ", picture " << n;
            EXPECT_EQ(
                QDir(QFileInfo(pack.content.pictures[0]).path()).entryList(QDir::Files).size(), 7)
                << form.what << ": only pack.json and the pictures are unpacked";
        } catch (const ToviError& error) {
            ADD_FAILURE() << form.what << ": " << error.message().toStdString();
        }
    }
}

TEST_F(OwnPacks, SavedSharedAndImportedElsewhereTheSixCardsStayTheSame) {
    const QString user =
        savePicture(m_dir.filePath(QStringLiteral("holiday.jpg")), {1234, 777}, {30, 140, 90});
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
        Changes changes(model.library());
        PackContent content = model.content(model.selectedID());
        content.name = QStringLiteral("  Wakacje ");
        const OwnPackLibrary::Saved saved = changes.save(content);
        EXPECT_EQ(OwnPackLibrary::text(saved),
                  QStringLiteral("Zapisano zestaw „Wakacje” w Moich zestawach."));
        ASSERT_EQ(model.ownPacks().size(), 1u);
        const OwnPack& own = model.ownPacks().front();
        EXPECT_EQ(own.id, saved.id);
        model.selectPack(saved.id);
        EXPECT_EQ(model.pack()->name, QStringLiteral("Wakacje"));
        // The user's picture is kept as it was given, not at the device's size.
        EXPECT_EQ(readFile(own.content.pictures[2]), readFile(user));
        gifs = cardGifs(model);
        changes.wait<OwnPackLibrary::Exported>(
            [&](auto done) { model.library().exportPack(model.content(own.id), file, done); });
        ASSERT_TRUE(changes.error.isEmpty()) << changes.error.toStdString();
    }
    ModelHome fresh;
    PacksModel model(fresh.settings());
    Changes changes(model.library());
    model.selectPack(changes.import(file).id);
    ASSERT_EQ(model.ownPacks().size(), 1u);
    EXPECT_EQ(model.selectedID(), model.ownPacks().front().id);
    EXPECT_EQ(model.animation(), PackReveal::spin);
    EXPECT_EQ(model.edit().crop, CropSettings{});
    model.selectCard(2);
    EXPECT_EQ(model.edit().title, QStringLiteral("Plaża"));
    EXPECT_EQ(cardGifs(model), gifs);

    // A second import keeps both.
    EXPECT_EQ(changes.import(file).name, QStringLiteral("Wakacje (2)"));
    ASSERT_EQ(model.ownPacks().size(), 2u);
    EXPECT_NE(model.ownPacks()[0].id, model.ownPacks()[1].id);
}

TEST_F(OwnPacks, KeepTheirNamesApartWithinTheLimitReadingTheStoreOncePerChange) {
    OwnPackLibrary library;
    const std::vector<StarterPack> starters = StarterPack::load(ResourceBundle::main());
    library.open(starters);
    Changes changes(library);
    PackContent content;
    for (int n = 1; n <= 6; ++n) {
        content.pictures[size_t(n - 1)] = m_dir.filePath(QStringLiteral("%1.png").arg(n));
        atomicWrite(content.pictures[size_t(n - 1)], goodPack()[size_t(n)].bytes);
    }
    int reads = OwnPackStore::loads();
    const auto readOnce = [&](const char* change) {
        EXPECT_EQ(OwnPackStore::loads(), reads + 1) << change;
        reads = OwnPackStore::loads();
    };
    content.name = QString(maxPackNameLength, QLatin1Char('w'));
    changes.save(content);
    readOnce("save");
    EXPECT_EQ(changes.save(content).name, QString(56, QLatin1Char('w')) + QStringLiteral(" (2)"));
    reads = OwnPackStore::loads();
    EXPECT_EQ(OwnPackStore::load().packs.size(), 2u) << "both still load";

    // A starter's name is taken as an own pack's is, by a saved pack and an imported one.
    content.name = starters.front().name;
    EXPECT_EQ(changes.save(content).name, starters.front().name + QStringLiteral(" (2)"));
    QJsonObject json = description();
    json[QStringLiteral("name")] = starters.back().name;
    const QString file = m_dir.filePath(QStringLiteral("pack.tovipack"));
    writeZip(file, goodPack(json));
    reads = OwnPackStore::loads();
    EXPECT_EQ(changes.import(file).name, starters.back().name + QStringLiteral(" (2)"));
    readOnce("import");

    // A name taken meanwhile is numbered on restore; deleted packs of one name lie side by side.
    content.name = QStringLiteral("Zima");
    const QString first = changes.remove(changes.save(content).id).folder;
    const QString other = changes.save(content).id;
    reads = OwnPackStore::loads();
    EXPECT_EQ(changes.restore(first).name, QStringLiteral("Zima (2)"));
    readOnce("restore");
    EXPECT_EQ(changes.rename(other, QStringLiteral("Zima (2)")).name, QString());
    EXPECT_EQ(changes.error,
              OwnPackError(OwnPackError::nameTaken, QStringLiteral("Zima (2)")).message());
    reads = OwnPackStore::loads();
    EXPECT_EQ(QFileInfo(changes.remove(other).folder).fileName(), QStringLiteral("Zestaw Zima"));
    readOnce("remove");
    EXPECT_EQ(QFileInfo(changes.remove(changes.save(content).id).folder).fileName(),
              QStringLiteral("Zestaw Zima (2)"));
    EXPECT_EQ(OwnPackStore::removed().size(), 2u);
    EXPECT_EQ(QDir(WorkingFolder::removedItems()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList())
        << "packs never were on the Tovi";
    // One that an earlier version put among the pictures taken off the Tovi comes back too.
    const QString legacy = WorkingFolder::removedItems() + QStringLiteral("/Zestaw Zima");
    ASSERT_TRUE(
        QDir().rename(WorkingFolder::removedPacks() + QStringLiteral("/Zestaw Zima"), legacy));
    EXPECT_EQ(OwnPackStore::removed().size(), 2u);
    EXPECT_EQ(changes.restore(legacy).name, QStringLiteral("Zima"));
    EXPECT_FALSE(QFileInfo::exists(legacy));
    EXPECT_THROW(OwnPackStore::restore(
                     QDir(OwnPackStore::folder()).filePath(library.packs().front().id), {}),
                 OwnPackError)
        << "a pack not removed";
    reads = OwnPackStore::loads();
    const QString renamed = library.packs().front().id;
    EXPECT_EQ(changes.rename(renamed, QStringLiteral(" Lato ")).name, QStringLiteral("Lato"));
    readOnce("rename");
    EXPECT_EQ(library.find(renamed)->content.name, QStringLiteral("Lato"));
    EXPECT_EQ(library.packs(), OwnPackStore::load().packs) << "the listing is the store's";

    // A pack whose pack.json cannot be written never reaches the store: here no file may grow
    // past 512 bytes, so the pictures are copied and the description fails.
    const QStringList before =
        QDir(OwnPackStore::folder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{512, limit.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(OwnPackStore::save(content, {}), PlatformError);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(QDir(OwnPackStore::folder())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              before);
}

TEST_F(OwnPacks, DamagedByHandAreListedWithWhatIsWrongAndCanBeTakenAway) {
    const QString file = m_dir.filePath(QStringLiteral("pack.tovipack"));
    writeZip(file, goodPack());
    QStringList ids;
    for (int n = 0; n < 4; ++n)
        ids << OwnPackStore::importFile(file, {}).id;
    const QDir store(OwnPackStore::folder());
    QFile::remove(store.filePath(ids[0] + QStringLiteral("/pack.json")));
    QFile::remove(store.filePath(ids[1] + QStringLiteral("/3.png")));
    QJsonObject json = description();
    json.remove(QStringLiteral("cards"));
    atomicWrite(store.filePath(ids[2] + QStringLiteral("/pack.json")),
                QJsonDocument(json).toJson());
    OwnPackLibrary library;
    library.open({});
    ASSERT_EQ(library.packs().size(), 1u);
    EXPECT_EQ(library.packs().front().id, ids[3]);
    const std::vector<OwnPackStore::Damaged> damaged{
        {ids[0], {}, QStringLiteral("brak pliku pack.json")},
        {ids[1], QStringLiteral("Od Oli"), QStringLiteral("brak obrazu „3.png”")},
        {ids[2], QStringLiteral("Od Oli"),
         QStringLiteral("plik pack.json jest niepoprawny: zestaw nie ma sześciu kart")},
    };
    auto listed = library.damaged();
    std::sort(listed.begin(), listed.end(),
              [&](const auto& a, const auto& b) { return ids.indexOf(a.id) < ids.indexOf(b.id); });
    EXPECT_EQ(listed, damaged);

    // Taken away like any pack, under the name it still has; there is nothing to bring back.
    Changes changes(library);
    const OwnPackLibrary::Removed removed = changes.remove(ids[1]);
    EXPECT_EQ(removed.folder, WorkingFolder::removedPacks() + QStringLiteral("/Zestaw Od Oli"));
    EXPECT_FALSE(removed.restorable);
    EXPECT_EQ(QFileInfo(changes.remove(ids[0]).folder).fileName(),
              QStringLiteral("Zestaw ") + ids[0]);
    EXPECT_EQ(library.damaged().size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(store.filePath(ids[1])));
}

TEST_F(OwnPacks, AreEditedLikeStarterPacksAndGoWhenDeleted) {
    QString id;
    {
        PacksModel model(m_home.settings());
        Changes changes(model.library());
        model.update([](PackCardEdit& edit) { edit.title = QStringLiteral("Plaża"); });
        PackContent content = model.content(model.selectedID());
        content.name = QStringLiteral("Lato");
        id = changes.save(content).id;
        model.selectPack(id);
        // Edited like a starter pack: a reset goes back to the card as it was saved.
        model.update([](PackCardEdit& edit) { edit.title = QStringLiteral("Góry"); });
        model.resetCard();
        EXPECT_EQ(model.edit().title, QStringLiteral("Plaża"));
        model.setAnimation(PackReveal::still);
        ASSERT_TRUE(waitUntil([&] { return !model.library().busy(); }));
        EXPECT_EQ(model.ownPack(id)->content.animation, PackReveal::still);

        // The selected pack deleted: the first starter pack is selected.
        const QString other = changes.save(content).id;
        model.selectPack(other);
        changes.remove(other);
        EXPECT_EQ(model.selectedID(), model.packs().front().id);
        EXPECT_EQ(model.ownPacks().size(), 1u);
        model.selectPack(id);
    }
    // The next run finds the pack selected, with its animation.
    PacksModel model(m_home.settings());
    EXPECT_EQ(model.selectedID(), id);
    EXPECT_EQ(model.animation(), PackReveal::still);
}

// The working folder on a disk that stops answering: every change is asked for and the window
// goes on at once; each is done, in order, once the disk answers again.
TEST_F(OwnPacks, NoChangeWaitsOnAFolderThatStopsAnswering) {
    if (const QString why = FuseFolder::unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    FuseFolder disk;
    ASSERT_TRUE(disk.error().isEmpty()) << disk.error().toStdString();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_home.library()).path()));
    ASSERT_TRUE(QFile::link(disk.root(), m_home.library()));
    PacksModel model(m_home.settings());
    OwnPackLibrary& library = model.library();
    Changes changes(library);
    PackContent content = model.content(model.selectedID());
    content.name = QStringLiteral("Lato");
    const QString kept = changes.save(content).id;
    content.name = QStringLiteral("Zima");
    const QString removed = changes.remove(changes.save(content).id).folder;
    content.name = QStringLiteral("Burza");
    const QString gone = changes.save(content).id;
    ASSERT_TRUE(changes.error.isEmpty()) << changes.error.toStdString();
    const QString file = m_dir.filePath(QStringLiteral("pack.tovipack"));
    writeZip(file, goodPack());

    // Should a call wait on the disk, the disk answers again after a while, and that is seen.
    std::mutex mutex;
    std::condition_variable over;
    bool finished = false;
    std::atomic<bool> thawedByWatch = false;
    ASSERT_TRUE(disk.freeze(true));
    std::thread watch([&] {
        std::unique_lock lock(mutex);
        if (!over.wait_for(lock, std::chrono::seconds(20), [&] { return finished; })) {
            thawedByWatch = true;
            disk.freeze(false);
        }
    });
    QStringList answers;
    const auto note = [&](const char* what) {
        return [&answers, what](const auto& outcome) {
            answers << QLatin1String(what) +
                           (outcome.ok() ? QString() : QStringLiteral(": ") + outcome.error);
        };
    };
    content.name = QStringLiteral("Wiosna");
    library.save(content, note("save"));
    library.importFile(file, note("import"));
    library.rename(kept, QStringLiteral("Jesień"), note("rename"));
    model.selectPack(kept);
    model.setAnimation(PackReveal::still);
    library.restore(removed, note("restore"));
    library.remove(gone, note("remove"));
    library.exportPack(content, m_dir.filePath(QStringLiteral("out.tovipack")), note("export"));
    spin(300);
    EXPECT_FALSE(thawedByWatch) << "a change waited on the disk";
    EXPECT_TRUE(answers.isEmpty()) << answers.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(library.busy());
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    over.notify_one();
    watch.join();
    ASSERT_TRUE(disk.freeze(false));

    ASSERT_TRUE(waitUntil([&] { return !library.busy() && answers.size() == 6; }));
    EXPECT_EQ(answers, (QStringList{QStringLiteral("save"), QStringLiteral("import"),
                                    QStringLiteral("rename"), QStringLiteral("restore"),
                                    QStringLiteral("remove"), QStringLiteral("export")}));
    QStringList names;
    for (const OwnPack& pack : OwnPackStore::load().packs)
        names << pack.content.name;
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Jesień"), QStringLiteral("Od Oli"),
                                  QStringLiteral("Wiosna"), QStringLiteral("Zima")}));
    EXPECT_EQ(library.find(kept)->content.animation, PackReveal::still);
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(QStringLiteral("out.tovipack"))));
}

} // namespace
