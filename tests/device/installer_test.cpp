#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "device/folder_lock.h"
#include "device/game1_installer.h"
#include "device/game_backup.h"
#include "device/pack_error.h"
#include "media/decode_budget.h"
#include "media/media_error.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace tovi;
using namespace tovi::test;
using Files = Game1Installer::Files;

namespace {

void expectPayloadRefused(const Files& files) {
    EXPECT_EQ(kindThrown<PackError>([&] { Game1Installer::validate(files); }), PackError::payload);
}

} // namespace

TEST(Validate, NamesMustBeExactlyTheSix) {
    const Files files = cardSet(1);
    EXPECT_NO_THROW(Game1Installer::validate(files));
    // A seventh card, the sixth renamed to a seventh, the third missing.
    for (const auto& [gone, added] : {std::pair{"", "7.gif"}, {"6.gif", "7.gif"}, {"3.gif", ""}}) {
        SCOPED_TRACE(std::string(gone) + " " + added);
        Files changed = files;
        changed.erase(QLatin1String(gone));
        if (*added)
            changed[QLatin1String(added)] = files.at(QStringLiteral("1.gif"));
        expectPayloadRefused(changed);
    }
}

TEST(Validate, EachCardIsAWhole240GifOfAtMost2MiB) {
    Files files = cardSet(2);
    const QByteArray gif = files.at(QStringLiteral("2.gif"));

    files[QStringLiteral("2.gif")] = padGif(gif, Game1Installer::maxCardBytes);
    EXPECT_NO_THROW(Game1Installer::validate(files));
    files[QStringLiteral("2.gif")] = padGif(gif, Game1Installer::maxCardBytes + 1);
    expectPayloadRefused(files);

    QImage picture(240, 240, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    files[QStringLiteral("2.gif")] = png;
    expectPayloadRefused(files);

    for (const QSize size : {QSize(240, 239), QSize(239, 240), QSize(480, 480)}) {
        SCOPED_TRACE(size.width() * 1000 + size.height());
        files[QStringLiteral("2.gif")] = makeGif(3, size);
        expectPayloadRefused(files);
    }
    files[QStringLiteral("2.gif")] = {};
    expectPayloadRefused(files);

    // Bytes after the trailer are padding every reader skips; a file cut before it is not whole.
    const QByteArray animated = makeGif(4, {240, 240}, 3, {}, true);
    files[QStringLiteral("2.gif")] = animated + QByteArray(300, '\0');
    EXPECT_NO_THROW(Game1Installer::validate(files));
    for (const qsizetype kept : {animated.size() - 1, animated.size() * 2 / 3}) {
        SCOPED_TRACE(kept);
        files[QStringLiteral("2.gif")] = animated.left(kept);
        expectPayloadRefused(files);
    }
}

TEST(Validate, EveryFrameIsTheWholeScreenAndDecodesWhole) {
    Files files = cardSet(2);
    const auto refused = [&files](const char* what, const QByteArray& card) {
        SCOPED_TRACE(what);
        files[QStringLiteral("5.gif")] = card;
        expectPayloadRefused(files);
    };
    refused("second frame 240 × 239", makeGif(3, {240, 240}, 2, {{240, 240}, {240, 239}}));
    refused("frame larger than the screen", makeGif(3, {240, 240}, 1, {{300, 300}}));
    refused("frame sticking out past the screen",
            buildGif({240, 240}, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                     {solidFrame({0, 0, 240, 240}, 1), solidFrame({100, 100, 240, 240}, 0)}));
    // Past the frame budget a card is refused. No card within 2 MiB gets there (LZW needs over
    // 300 bytes for a whole frame): this holds the check of a card by itself to the budget.
    const QByteArray solid =
        buildGif({240, 240}, {qRgb(0, 0, 0), qRgb(255, 0, 0)}, {solidFrame({0, 0, 240, 240}, 1)});
    const qsizetype frame = solid.indexOf(QByteArray("\x21\xf9", 2));
    const auto repeated = [&](int frames) {
        return solid.left(frame) + solid.mid(frame, solid.size() - 1 - frame).repeated(frames) +
               ';';
    };
    EXPECT_TRUE(Game1Installer::isWholeCard(repeated(DecodeBudget::maxFrames)));
    EXPECT_THROW(Game1Installer::isWholeCard(repeated(DecodeBudget::maxFrames + 1)), MediaError);
    // A second frame whose data ends after one pixel, with its sub-blocks and the trailer in
    // place: the import decoder forgives it, the device does not.
    const QByteArray good = makeGif(4);
    QByteArray damaged = good.left(good.size() - 1);
    damaged += QByteArray::fromHex("2c00000000f000f00002024401003b");
    refused("damaged frame", damaged);
    // The same frame twice, the copy's data cut short by an end code in its first byte: as long
    // as the data read whole before, but other bytes.
    QByteArray twice = buildGif({240, 240}, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                                {solidFrame({0, 0, 240, 240}, 1), solidFrame({0, 0, 240, 240}, 1)});
    const QByteArray descriptor = QByteArray::fromHex("2c00000000f000f000");
    const qsizetype copy = twice.indexOf(descriptor, twice.indexOf(descriptor) + 1);
    ASSERT_GT(copy, 0);
    // After the descriptor's flags: the code size, the first sub-block's length, its data.
    twice[copy + 12] = char(0x2c); // 3-bit codes: clear (4), then end (5)
    refused("a repeated frame damaged", twice);
}

TEST(Snapshot, ReadsHiddenFilesAndRefusesFoldersAndLinks) {
    QTemporaryDir dir;
    const QString game1 = dir.filePath(QStringLiteral("Game1"));
    makeFolder(game1);
    EXPECT_TRUE(Game1Installer::snapshot(game1).empty());
    writeFile(game1 + QStringLiteral("/._1.gif"), "apple");
    writeFile(game1 + QStringLiteral("/1.gif"), {});
    EXPECT_EQ(Game1Installer::snapshot(game1),
              (Files{{QStringLiteral("._1.gif"), "apple"}, {QStringLiteral("1.gif"), {}}}));

    ASSERT_TRUE(QFile::link(game1 + QStringLiteral("/1.gif"), game1 + QStringLiteral("/link")));
    EXPECT_THROW(Game1Installer::snapshot(game1), PackError);
    QFile::remove(game1 + QStringLiteral("/link"));
    makeFolder(game1 + QStringLiteral("/sub"));
    EXPECT_THROW(Game1Installer::snapshot(game1), PackError);
    EXPECT_THROW(Game1Installer::snapshot(dir.filePath(QStringLiteral("missing"))), PlatformError);
}

TEST(Space, CountsPeakOfInOrderReplacementInAllocationUnits) {
    const auto sized = [](std::initializer_list<qint64> sizes) {
        Files files;
        int index = 0;
        for (const qint64 size : sizes) {
            if (size >= 0)
                files[Game1Installer::names()[index]] = QByteArray(size, 'x');
            ++index;
        }
        return files;
    };
    // Six 300 kB cards replaced by six 350 kB ones: 50 kB growth each plus one temporary copy.
    const Files old = sized({300000, 300000, 300000, 300000, 300000, 300000});
    const Files fresh = sized({350000, 350000, 350000, 350000, 350000, 350000});
    EXPECT_EQ(Game1Installer::requiredSpace(old, fresh, 1), 650000);
    EXPECT_LT(Game1Installer::requiredSpace(old, fresh, 4096), 1000000);
    EXPECT_EQ(Game1Installer::requiredSpace({}, fresh, 1), 2100000 + 350000);
    // Growing first and shrinking last needs more than the net growth plus the largest card.
    EXPECT_EQ(Game1Installer::requiredSpace(sized({0, 0, 0, 0, 0, 2000}),
                                            sized({1000, 1000, 0, 0, 0, 0}), 1),
              2000);
    EXPECT_EQ(
        Game1Installer::requiredSpace(sized({1, 1, 1, 1, 1, 1}), sized({1, 1, 1, 1, 1, 1}), 4096),
        4096);
}

namespace {

// A device root with an old set, a note of the user's and an operating-system companion file.
class Install : public ::testing::Test {
protected:
    void SetUp() override {
        m_old = cardSet(1);
        m_old[QStringLiteral("notes.txt")] = "keep me";
        m_old[QStringLiteral("._1.gif")] = "companion";
        makeDevice(root(), m_old);
        m_new = cardSet(2);
    }
    QString root() const { return m_dir.filePath(QStringLiteral("NO NAME")); }
    QString game1() const { return root() + QStringLiteral("/Game1"); }
    QString backups() const { return m_dir.filePath(QStringLiteral("Backups")); }
    QString card(const QString& name) const { return game1() + QLatin1Char('/') + name; }
    // The new cards beside every other file of the old Game1.
    Files installed() const {
        Files files = m_new;
        for (const auto& [name, bytes] : m_old)
            if (!Game1Installer::names().contains(name))
                files[name] = bytes;
        return files;
    }
    QString onlyBackup() const {
        const QStringList made = folders(backups());
        EXPECT_EQ(made.size(), 1) << made.join(QLatin1Char(' ')).toStdString();
        return made.isEmpty() ? QString() : backups() + QLatin1Char('/') + made.first();
    }

    // The backup holds the complete old Game1 and a manifest that matches it.
    void expectCompleteBackup(const QString& backup, bool installed) const {
        EXPECT_EQ(Game1Installer::snapshot(backup + QStringLiteral("/Game1")), m_old);
        const GameBackup::Report report = GameBackup::verify(backup);
        EXPECT_TRUE(report.intact) << report.problems.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(report.manifest.files.size(), m_old.size());
        EXPECT_EQ(report.manifest.source,
                  QUrl::fromLocalFile(game1() + QLatin1Char('/')).toString(QUrl::FullyEncoded));
        QStringList expected{QStringLiteral("Game1"), QStringLiteral("manifest.json")};
        if (installed)
            expected << QStringLiteral("installed.txt");
        expected.sort();
        EXPECT_EQ(QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                         QDir::Name),
                  expected);
    }

    // After a refused or rolled-back installation the cards, the companion file and every file
    // nobody else touched are byte for byte what they were.
    void expectRolledBack(const QStringList& changedByOthers = {}) const {
        Files now = Game1Installer::snapshot(game1());
        Files old = m_old;
        for (const QString& name : changedByOthers) {
            now.erase(name);
            old.erase(name);
        }
        EXPECT_EQ(now, old);
        expectCompleteBackup(onlyBackup(), false);
    }

    QString install(const Game1Installer::Observer& observe) {
        return Game1Installer::install(m_new, root(), backups(), Game1Installer::writeAtomically,
                                       observe);
    }
    // An observer that does `act` once the installation reaches `stage`.
    static Game1Installer::Observer at(Game1Installer::Stage stage, std::function<void()> act) {
        return [stage, act](const Game1Installer::Progress& now) {
            if (now.stage == stage)
                act();
            return true;
        };
    }

    // A writer that throws at card `failAt` (1-based) after doing `sideEffect`.
    Game1Installer::Writer failingAt(int failAt, std::function<void()> sideEffect = {}) {
        return [this, failAt, sideEffect](const QByteArray& bytes, const QString& target) {
            m_attempted << QFileInfo(target).fileName();
            if (target.endsWith(QString::number(failAt) + QStringLiteral(".gif"))) {
                if (sideEffect)
                    sideEffect();
                throw PlatformError(PlatformError::io, target, EIO);
            }
            atomicWrite(target, bytes);
        };
    }

    QTemporaryDir m_dir;
    Files m_old;
    Files m_new;
    QStringList m_attempted;
};

} // namespace

TEST_F(Install, ReplacesTheSixCardsAndKeepsEverythingElse) {
    const QString backup = Game1Installer::install(m_new, root(), backups());
    EXPECT_EQ(QFileInfo(backup).path(), backups());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Game1-\\d{10}-[0-9A-F]{8}$"))
                    .match(QFileInfo(backup).fileName())
                    .hasMatch())
        << backup.toStdString();
    EXPECT_EQ(Game1Installer::snapshot(game1()), installed());
    expectCompleteBackup(backup, true);
    const QByteArray note = readFile(backup + QStringLiteral("/installed.txt"));
    EXPECT_EQ(note.size(), 57);
    EXPECT_EQ(note, QByteArray("Verified six-file install. Previous files are in Game1/.\n"));

    // Choosing Game1 itself works too, and every installation gets its own backup.
    const QString second = Game1Installer::install(cardSet(3), game1(), backups());
    EXPECT_NE(second, backup);
    EXPECT_EQ(folders(backups()).size(), 2);
}

TEST_F(Install, WaitsWhileAnotherWriterHoldsGame1) {
    std::optional<FolderLock> other(std::in_place, game1());
    std::atomic<bool> finished = false;
    std::thread installing([&] {
        try {
            Game1Installer::install(m_new, root(), backups());
        } catch (...) {
        }
        finished = true;
    });
    QThread::msleep(300);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(QFileInfo::exists(backups())); // not even the backup was started
    other.reset();
    installing.join();
    // Done, and no lock file was left on the device.
    EXPECT_EQ(Game1Installer::snapshot(game1()), installed());
}

TEST_F(Install, EmptyGame1InstallsAndRollsBackToEmpty) {
    QDir(game1()).removeRecursively();
    makeFolder(game1());
    EXPECT_THROW(Game1Installer::install(m_new, root(), backups(), failingAt(3)), PlatformError);
    EXPECT_TRUE(Game1Installer::snapshot(game1()).empty());
    const QString failed = onlyBackup();
    EXPECT_TRUE(QDir(failed + QStringLiteral("/Game1"))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_TRUE(GameBackup::verify(failed).manifest.files.empty());
    EXPECT_FALSE(QFileInfo::exists(failed + QStringLiteral("/installed.txt")));
    EXPECT_TRUE(readFile(failed + QStringLiteral("/manifest.json")).contains(R"("files":{})"));

    const QString backup = Game1Installer::install(m_new, root(), backups());
    EXPECT_EQ(Game1Installer::snapshot(game1()), m_new);
    EXPECT_TRUE(QFileInfo::exists(backup + QStringLiteral("/installed.txt")));
}

TEST_F(Install, RefusalsBeforeTheBackupLeaveNoTrace) {
    const auto before = tree(root());
    Files bad = m_new;
    bad[QStringLiteral("1.gif")] = "not a gif";
    EXPECT_THROW(Game1Installer::install(bad, root(), backups()), PackError);
    EXPECT_THROW(Game1Installer::install(m_new, root() + QStringLiteral("/Game2"), backups()),
                 PackError);

    makeFolder(game1() + QStringLiteral("/sub"));
    EXPECT_EQ(kindThrown<PackError>([&] { Game1Installer::install(m_new, root(), backups()); }),
              PackError::folder);
    QDir(game1() + QStringLiteral("/sub")).removeRecursively();
    EXPECT_EQ(tree(root()), before);
    EXPECT_FALSE(QFileInfo::exists(backups()));
}

TEST_F(Install, BackupFolderOnTheDeviceIsRefusedBeforeAnythingIsWritten) {
    const auto before = tree(root());
    ASSERT_TRUE(QFile::link(root(), m_dir.filePath(QStringLiteral("device link"))));
    for (const QString& backups :
         {root() + QStringLiteral("/Backups"), game1() + QStringLiteral("/Backups/new"),
          m_dir.filePath(QStringLiteral("device link/Backups"))}) {
        EXPECT_EQ(kindThrown<PackError>([&] { Game1Installer::install(m_new, game1(), backups); }),
                  PackError::backupOnDevice)
            << backups.toStdString();
        EXPECT_EQ(tree(root()), before);
    }
    // A folder beside the device whose name merely begins like it is not on it.
    EXPECT_NO_THROW(Game1Installer::install(m_new, root(), root() + QStringLiteral("-backups")));
}

TEST_F(Install, RemovesOnlyTheTemporaryFilesOfAnInterruptedWrite) {
    const QString leftover = QStringLiteral(".3.gif.tovi-0a1b2c3d.tmp");
    writeFile(card(leftover), "torn");
    // Names of the user's that only resemble ours stay, and are backed up like any file.
    for (const char* name : {".3.gif.tovi-0A1B2C3D.tmp", "3.gif.tovi-0a1b2c3d.tmp",
                             ".3.gif.tovi-0a1b2c3d.tmp.old", ".3.gif.tovi-0a1b2c3.tmp"}) {
        m_old[QLatin1String(name)] = "the user's";
        writeFile(card(QLatin1String(name)), "the user's");
    }
    QStringList reported;
    const auto observe = [&reported](const Game1Installer::Progress& at) {
        if (at.stage == Game1Installer::Stage::cleaned)
            reported << at.removed;
        return true;
    };
    const QString backup = install(observe);
    EXPECT_EQ(reported, QStringList{leftover});
    EXPECT_FALSE(QFileInfo::exists(card(leftover)));
    EXPECT_EQ(Game1Installer::snapshot(game1()), installed());
    expectCompleteBackup(backup, true);

    // A link or a folder named like ours is someone else's: left alone, without a failure.
    const QString link = card(QStringLiteral(".4.gif.tovi-0a1b2c3d.tmp"));
    const QString folder = card(QStringLiteral(".5.gif.tovi-0a1b2c3d.tmp"));
    ASSERT_TRUE(QFile::link(card(QStringLiteral("4.gif")), link));
    makeFolder(folder);
    EXPECT_EQ(removeAtomicWriteLeftovers(game1()), QStringList());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(Install, ObserverStopsTheInstallationAndItIsRolledBack) {
    for (const int stopAt : {2, 5}) {
        SCOPED_TRACE(stopAt);
        QDir(backups()).removeRecursively();
        int cards = 0;
        QString announced;
        const auto observe = [&](const Game1Installer::Progress& at) {
            if (at.stage == Game1Installer::Stage::started)
                announced = at.backup;
            // A step in the write phase comes just before each card.
            if (at.stage == Game1Installer::Stage::step && !announced.isEmpty() &&
                QFileInfo::exists(announced + QStringLiteral("/manifest.json")))
                ++cards;
            return cards < stopAt;
        };
        EXPECT_THROW(install(observe), Cancelled);
        EXPECT_EQ(announced, onlyBackup());
        expectRolledBack();
    }
}

TEST_F(Install, Game1ChangedBetweenSnapshotsTouchesNothing) {
    const auto rewrite = [this] {
        writeFile(card(QStringLiteral("._1.gif")), "rewritten by the system");
    };
    EXPECT_EQ(kindThrown<PackError>([&] { install(at(Game1Installer::Stage::backedUp, rewrite)); }),
              PackError::sourceChanged);
    expectRolledBack({QStringLiteral("._1.gif")});
    EXPECT_EQ(readFile(card(QStringLiteral("._1.gif"))), QByteArray("rewritten by the system"));
}

TEST_F(Install, WriterFailingAtAnyCardIsRolledBack) {
    for (const int failAt : {1, 3, 6}) {
        SCOPED_TRACE(failAt);
        m_attempted.clear();
        QDir(backups()).removeRecursively();
        // The failing card is half-written before the error, as a pulled cable would leave it.
        const auto tear = [this, failAt] {
            writeFile(card(QString::number(failAt) + QStringLiteral(".gif")), "torn");
        };
        EXPECT_EQ(kindThrown<PlatformError>([&] {
                      Game1Installer::install(m_new, root(), backups(), failingAt(failAt, tear));
                  }),
                  PlatformError::io);
        EXPECT_EQ(m_attempted.size(), failAt); // nothing after the failing card
        expectRolledBack();
    }
}

TEST_F(Install, CardReadingBackDifferentIsRolledBack) {
    const auto wrongBytes = [](const QByteArray& bytes, const QString& target) {
        atomicWrite(target, target.endsWith(QStringLiteral("4.gif")) ? bytes.left(100) : bytes);
    };
    EXPECT_EQ(kindThrown<MediaError>(
                  [&] { Game1Installer::install(m_new, root(), backups(), wrongBytes); }),
              MediaError::encode);
    expectRolledBack();
}

TEST_F(Install, OtherFileChangedDuringWritePhaseIsRolledBack) {
    const auto meddle = [this](const QByteArray& bytes, const QString& target) {
        if (target.endsWith(QStringLiteral("5.gif"))) {
            writeFile(card(QStringLiteral("notes.txt")), "changed by someone else");
            // Companion files are the system's to rewrite; they are not held against us.
            writeFile(card(QStringLiteral("._1.gif")), "rewritten");
        }
        atomicWrite(target, bytes);
    };
    EXPECT_EQ(
        kindThrown<PackError>([&] { Game1Installer::install(m_new, root(), backups(), meddle); }),
        PackError::sourceChanged);
    // The installer puts back only what it wrote; the other writer's change stays.
    expectRolledBack({QStringLiteral("notes.txt"), QStringLiteral("._1.gif")});
    EXPECT_EQ(readFile(card(QStringLiteral("notes.txt"))), QByteArray("changed by someone else"));

    // A companion file changed alone does not stop the installation.
    QDir(backups()).removeRecursively();
    writeFile(card(QStringLiteral("notes.txt")), "keep me");
    m_old[QStringLiteral("._1.gif")] = "rewritten";
    const auto companionOnly = [this](const QByteArray& bytes, const QString& target) {
        if (target.endsWith(QStringLiteral("5.gif")))
            writeFile(card(QStringLiteral("._1.gif")), "again");
        atomicWrite(target, bytes);
    };
    EXPECT_NO_THROW(Game1Installer::install(m_new, root(), backups(), companionOnly));
}

TEST_F(Install, ReadFailureInUntouchedFileCheckIsRolledBack) {
    // Something replaces the user's note by a folder: reading it back fails.
    const auto replace = [this] {
        QFile::remove(card(QStringLiteral("notes.txt")));
        makeFolder(card(QStringLiteral("notes.txt")));
    };
    EXPECT_THROW(install(at(Game1Installer::Stage::cardsWritten, replace)), PlatformError);
    ASSERT_TRUE(QDir(card(QStringLiteral("notes.txt"))).removeRecursively());
    expectRolledBack({QStringLiteral("notes.txt")});
}

TEST_F(Install, FailingNoteIsRolledBack) {
    // A folder in the note's place makes its atomic write fail at the rename.
    const auto block = [this] {
        makeFolder(onlyBackup() + QStringLiteral("/installed.txt/blocker"));
    };
    EXPECT_THROW(install(at(Game1Installer::Stage::cardsWritten, block)), PlatformError);
    EXPECT_EQ(Game1Installer::snapshot(game1()), m_old);
    EXPECT_FALSE(QFileInfo(onlyBackup() + QStringLiteral("/installed.txt")).isFile());
    EXPECT_TRUE(GameBackup::verify(onlyBackup()).intact);
}

TEST_F(Install, IncompleteRollBackNamesTheBackup) {
    // Card 3 fails after something replaced the already written card 2 by a folder.
    const auto block = [this] {
        QFile::remove(card(QStringLiteral("2.gif")));
        makeFolder(card(QStringLiteral("2.gif/blocker")));
    };
    try {
        Game1Installer::install(m_new, root(), backups(), failingAt(3, block));
        ADD_FAILURE() << "installed";
    } catch (const PackError& error) {
        EXPECT_EQ(error.kind(), PackError::rollbackFailed);
        EXPECT_EQ(error.path(), onlyBackup());
        EXPECT_TRUE(error.message().endsWith(onlyBackup())) << error.message().toStdString();
    }
    // Every other card was still put back.
    EXPECT_THROW(Game1Installer::snapshot(game1()), PackError);
    for (const auto& [name, bytes] : m_old) {
        if (name != QStringLiteral("2.gif")) {
            EXPECT_EQ(readFile(card(name)), bytes) << name.toStdString();
        }
    }
    expectCompleteBackup(onlyBackup(), false);
}

TEST_F(Install, RestoreBringsBackAVerifiedBackup) {
    const QString first = Game1Installer::install(m_new, root(), backups());
    const QString restore = GameBackup::restore(first, root(), backups());
    EXPECT_NE(restore, first);
    EXPECT_EQ(Game1Installer::snapshot(game1()), m_old);
    // The restore is itself backed up: its backup holds the set it replaced.
    EXPECT_EQ(Game1Installer::snapshot(restore + QStringLiteral("/Game1")), installed());

    // A damaged copy is refused before the device is touched.
    writeFile(first + QStringLiteral("/Game1/4.gif"), "damaged");
    const GameBackup::Report report = GameBackup::verify(first);
    EXPECT_FALSE(report.intact);
    EXPECT_TRUE(report.installed);
    ASSERT_EQ(report.problems.size(), 1);
    EXPECT_TRUE(report.problems.first().startsWith(QStringLiteral("4.gif:")));
    const auto device = tree(root());
    EXPECT_THROW(GameBackup::restore(first, root(), backups()), ToviError);
    EXPECT_EQ(tree(root()), device);
}
