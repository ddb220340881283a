#include "app/atomic_write.h"
#include "app/resource_bundle.h"
#include "app/settings.h"
#include "device/game1_installer.h"
#include "device/pack_error.h"
#include "media/media_error.h"
#include "packs/own_pack.h"
#include "studio/saved_work.h"
#include "support/cli_runner.h"
#include "support/device_fixtures.h"
#include "support/model_home.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/time.h>

using namespace tovi;
using namespace tovi::test;

namespace {

const QString colours = QStringLiteral(TOVI_FIXTURES "/video/colours.mp4");

// The commands run with this test's private home (the child inherits the environment).
class CliModels : public ::testing::Test {
protected:
    void SetUp() override { makeDevice(m_root, m_before); }
    QString device(const QString& sub = {}) const {
        return sub.isEmpty() ? m_root : m_root + QLatin1Char('/') + sub;
    }
    Game1Installer::Files game1() const {
        Game1Installer::Files files;
        for (const QString& name : Game1Installer::names())
            files[name] = readFile(device(QStringLiteral("Game1/") + name));
        return files;
    }

    ModelHome m_home;
    QTemporaryDir m_dir;
    QString m_root = m_dir.filePath(QStringLiteral("NO NAME"));
    Game1Installer::Files m_before = cardSet(11);
};

TEST_F(CliModels, PacksListsTheCollection) {
    const CliResult result = runToviOk(args("packs"));
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], QStringLiteral("listening\tJak słuchać"));
}

TEST_F(CliModels, OwnPacksAreSavedListedSharedAndImported) {
    const CliResult saved = runToviOk(args("save-pack", "--name", "Urodziny", "--pack", "party"));
    const QString id = saved.out.section(QStringLiteral("Identyfikator: "), 1).trimmed();
    const QStringList listed =
        runTovi(args("packs")).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), 11);
    EXPECT_EQ(listed[0], id + QStringLiteral("\tUrodziny\tmój zestaw"));

    // Into a folder: the file is named after the pack.
    const CliResult exported = runToviOk(args("export-pack", id, "-o", m_dir.path()));
    const QString file = m_dir.filePath(QStringLiteral("Urodziny.tovipack"));
    const CliResult imported = runToviOk(args("import-pack", file));
    EXPECT_TRUE(
        imported.out.startsWith(QStringLiteral("Zaimportowano zestaw „Urodziny (2)”. Jest teraz w "
                                               "Moich zestawach.\nIdentyfikator: own-")));

    const QString bad = m_dir.filePath(QStringLiteral("bad.tovipack"));
    atomicWrite(bad, "not a pack");
    const CliResult refused = runTovi(args("import-pack", bad));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.trimmed(),
              QStringLiteral("tovi: ") + OwnPackError(OwnPackError::notPackFile).message());
    EXPECT_EQ(runTovi(args("packs")).out.count(QStringLiteral("mój zestaw")), 2);
    EXPECT_EQ(runTovi(args("export-pack", "none", "-o", file)).status, 1);

    // Renamed, deleted and brought back as in the window.
    const CliResult renamed = runToviOk(args("rename-pack", id, "--name", "Lato"));
    EXPECT_EQ(renamed.out, QStringLiteral("Zmieniono nazwę zestawu na „Lato”.\n"));
    EXPECT_EQ(runTovi(args("rename-pack", id, "--name", "Urodziny (2)")).err.trimmed(),
              QStringLiteral("tovi: ") +
                  OwnPackError(OwnPackError::nameTaken, QStringLiteral("Urodziny (2)")).message());
    const CliResult deleted = runToviOk(args("delete-pack", id));
    EXPECT_TRUE(deleted.out.startsWith(
        QStringLiteral("Zestaw „Lato” przeniesiono do folderu „Usunięte zestawy”.")));
    EXPECT_EQ(runTovi(args("restore-pack")).out, QStringLiteral("Zestaw Lato\tLato\n"));
    const CliResult restored = runToviOk(args("restore-pack", "Zestaw Lato"));
    EXPECT_EQ(restored.out, QStringLiteral("Przywrócono zestaw „Lato”.\nIdentyfikator: ") + id +
                                QLatin1Char('\n'));

    // A pack damaged by hand is listed with what is wrong, and can be taken away.
    QFile::remove(m_home.library() + QStringLiteral("/OwnPacks/") + id +
                  QStringLiteral("/pack.json"));
    EXPECT_TRUE(runTovi(args("packs"))
                    .out.contains(id + QStringLiteral("\tZestaw bez nazwy\tuszkodzony: brak pliku "
                                                      "pack.json\n")));
    EXPECT_EQ(runTovi(args("delete-pack", id)).status, 0);
    EXPECT_EQ(runTovi(args("packs")).out.count(QLatin1Char('\n')), 11);
}

TEST_F(CliModels, SendAddsTheGraphicToTheAlbumAndLeavesNoCopyBehind) {
    // The album is shared with the window: a name that is no album never reaches the settings.
    const CliResult typo = runTovi(args("send", colours, "--device", device(), "--album", "Foto1"));
    EXPECT_EQ(typo.status, 2);
    EXPECT_TRUE(typo.err.startsWith(
        QStringLiteral("tovi: --album przyjmuje Photo1, Photo2 albo Photo3.\n")));
    EXPECT_TRUE(m_home.reopenSettings()->string(Settings::album).isEmpty());
    // The window's saved work, which the command neither takes up nor cleans away.
    const QString window = QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000A.png");
    writeFile(QFileInfo(SavedWork::file()).dir().filePath(window), "x");
    const struct timeval old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimes(QFile::encodeName(m_home.library() + QLatin1Char('/') + window).constData(), old);
    const QByteArray work = SavedWork{window, QStringLiteral("okno.png"), {}}.encode();
    writeFile(SavedWork::file(), work);

    const CliResult result = runToviOk(args("send", colours, "--device", device(), "--album",
                                            "photo3", "--fps", "6", "--length", "1"));
    EXPECT_EQ(result.out, QStringLiteral("Zapisano do Photo3. Wysuń dysk, przełącz Tovi w tryb DAC "
                                         "i otwórz album przyciskiem Vista.\n"));
    const QStringList saved = QDir(device(QStringLiteral("Photo3"))).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved[0].startsWith(QStringLiteral("tovi-")) &&
                saved[0].endsWith(QStringLiteral(".gif")));
    // The local copy of the graphic stays, as in the window; the imported media copy does not.
    EXPECT_EQ(QDir(m_home.library()).entryList(QDir::Files),
              QStringList({window, QStringLiteral("studio.json"), saved[0]}));
    EXPECT_EQ(readFile(SavedWork::file()), work);
    EXPECT_EQ(m_home.reopenSettings()->string(Settings::album), QStringLiteral("Photo3"));

    const CliResult refused =
        runTovi(args("send", colours, "--device", device(QStringLiteral("Game1"))));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.trimmed(),
              QStringLiteral("tovi: ") + MediaError(MediaError::invalidFolder).message());
    const CliResult unreadable =
        runTovi(args("send", m_dir.filePath(QStringLiteral("none.png")), "--device", device()));
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_FALSE(unreadable.err.isEmpty());
    EXPECT_EQ(runTovi(args("send", colours)).status, 2);

    // Several files: each one that can be made is written, the one that cannot is told.
    const QString photo = QStringLiteral(TOVI_FIXTURES "/image/photo.heic");
    const CliResult row =
        runTovi(args("send", photo, QStringLiteral(TOVI_FIXTURES "/image/broken.png"), colours,
                     "--device", device(), "--length", "1"));
    EXPECT_EQ(row.status, 1);
    const QStringList lines = row.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << row.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Zapisano photo.heic do Photo3 jako tovi-")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Zapisano colours.mp4 do Photo3 jako tovi-")));
    EXPECT_EQ(lines[2], QStringLiteral("Zapisano 2 z 3 plików do Photo3."));
    EXPECT_TRUE(row.err.endsWith(QStringLiteral("\ntovi: broken.png: ") +
                                 MediaError(MediaError::unreadable).message() + QLatin1Char('\n')))
        << row.err.toStdString();
    EXPECT_EQ(QDir(device(QStringLiteral("Photo3"))).entryList(QDir::Files).size(), 3);
}

TEST_F(CliModels, CardsExportOrInstallAndTheFactorySetComesBack) {
    const QString out = m_dir.filePath(QStringLiteral("cards"));
    const CliResult exported =
        runToviOk(args("cards", "--pack", "party", "--animation", "still", "--out", out));
    Game1Installer::Files files;
    for (const QString& name : Game1Installer::names())
        files[name] = readFile(QDir(out).filePath(name));
    EXPECT_NO_THROW(Game1Installer::validate(files));
    EXPECT_EQ(game1(), m_before);

    const CliResult installed =
        runToviOk(args("cards", "--pack", "party", "--animation", "still", "--device", device()));
    const QStringList lines = installed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2); // the model's message, then where the backup went
    const QString backup = lines[1].section(QStringLiteral(": "), 1);
    EXPECT_TRUE(QFileInfo::exists(backup + QStringLiteral("/manifest.json")));
    EXPECT_EQ(m_home.reopenSettings()->string(Settings::packsLastBackup), backup);
    // The same pack, edits and animation render the same six cards.
    EXPECT_EQ(game1(), files);

    const CliResult restored =
        runToviOk(args("restore-factory", "--device", device(QStringLiteral("Game1"))));
    EXPECT_EQ(game1().at(QStringLiteral("4.gif")),
              readFile(ResourceBundle::main().folder() + QStringLiteral("/original-game1-4.gif")));
}

TEST_F(CliModels, CardsRefuseWhatTheyCannotDo) {
    const auto status = [](const QStringList& arguments) { return runTovi(arguments).status; };
    const QString out = m_dir.filePath(QStringLiteral("x"));
    EXPECT_EQ(status(args("cards", "--pack", "nope", "--out", out)), 2);
    EXPECT_EQ(status(args("cards", "--pack", "party")), 2);
    EXPECT_EQ(status(args("cards", "--pack", "party", "--out", out, "--device", device())), 2);
    EXPECT_EQ(status(args("cards", "--pack", "party", "--animation", "wobble", "--out", out)), 2);
    EXPECT_EQ(status(args("cards", "--pack", "party", "--out", out, "--wait")), 2);
    EXPECT_FALSE(QFileInfo::exists(out));
    const CliResult wrongFolder =
        runTovi(args("restore-factory", "--device", device(QStringLiteral("Game2"))));
    EXPECT_EQ(wrongFolder.status, 1);
    EXPECT_EQ(wrongFolder.err.trimmed(),
              QStringLiteral("tovi: ") + PackError(PackError::folder).message());
    EXPECT_EQ(game1(), m_before);
}

} // namespace
