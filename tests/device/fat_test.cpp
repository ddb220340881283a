#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "device/album_row.h"
#include "device/album_writer.h"
#include "device/bookmark.h"
#include "device/device_space.h"
#include "device/device_space_error.h"
#include "device/device_watch.h"
#include "device/game1_installer.h"
#include "device/game_backup.h"
#include "support/cli_runner.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;
using Files = Game1Installer::Files;

namespace {

class FatDevice : public ::testing::Test {
protected:
    QString backups() const { return m_local.filePath(QStringLiteral("Backups")); }
    QTemporaryDir m_local;
};

} // namespace

TEST_F(FatDevice, InstallsRollsBackAndStaysConsistent) {
    TOVI_FAT_VOLUME(volume, 4096);
    Files old = cardSet(1);
    old[QStringLiteral("._1.gif")] = "companion";
    makeDevice(volume.root(), old);
    const QString game1 = volume.root() + QStringLiteral("/Game1");

    const Files fresh = cardSet(2, 4, true);
    QElapsedTimer timer;
    timer.start();
    const QString backup = Game1Installer::install(fresh, volume.root(), backups());
    std::cout << "[ figure   ] install of " << fresh.at(QStringLiteral("1.gif")).size() * 6 / 1024
              << " KiB on fusefat: " << timer.elapsed() << " ms\n";
    Files expected = fresh;
    expected[QStringLiteral("._1.gif")] = "companion";
    EXPECT_EQ(Game1Installer::snapshot(game1), expected);
    EXPECT_TRUE(GameBackup::verify(backup).intact);

    // A write failing at the fourth card leaves the device as it was.
    const auto failing = [](const QByteArray& bytes, const QString& target) {
        if (target.endsWith(QStringLiteral("4.gif")))
            throw PlatformError(PlatformError::io, target, EIO);
        atomicWrite(target, bytes);
    };
    EXPECT_THROW(Game1Installer::install(cardSet(3), game1, backups(), failing), PlatformError);
    EXPECT_EQ(Game1Installer::snapshot(game1), expected);

    // What the medium holds after a remount is what was verified, and the volume is sound.
    const QString mountPoint = volume.root();
    ASSERT_TRUE(volume.unmount());
    EXPECT_EQ(volume.check(), QString());
    ASSERT_TRUE(volume.mount(mountPoint));
    EXPECT_EQ(Game1Installer::snapshot(game1), expected);
}

TEST_F(FatDevice, CommandSaysWhenTheDeviceStopsAnsweringAndMayGiveUp) {
    TOVI_FAT_VOLUME(volume, 4096);
    const Files old = cardSet(1);
    makeDevice(volume.root(), old);
    const QString cards = m_local.filePath(QStringLiteral("cards"));
    makeFolder(cards);
    for (const auto& [name, bytes] : cardSet(2))
        writeFile(cards + QLatin1Char('/') + name, bytes);

    ASSERT_TRUE(volume.freeze(true));
    QElapsedTimer timer;
    timer.start();
    const CliResult result = runTovi(args("install-cards", cards, "--device", volume.root(),
                                          "--backups", backups(), "--timeout", "1"),
                                     m_local.filePath(QStringLiteral("data")));
    EXPECT_GE(timer.elapsed(), 15000);
    EXPECT_EQ(result.status, 1);
    for (const QString& told :
         {QStringLiteral("tovi: ") + DeviceWatch::stalledText(),
          QStringLiteral("tovi: Przestano czekać na Tovi."), backups() + QStringLiteral("/Game1-")})
        EXPECT_TRUE(result.err.contains(told)) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());

    // Nothing was written, and nothing holds the device.
    ASSERT_TRUE(volume.freeze(false));
    EXPECT_EQ(Game1Installer::snapshot(volume.root() + QStringLiteral("/Game1")), old);
    EXPECT_NO_THROW(Game1Installer::install(cardSet(2), volume.root(), backups()));
}

TEST_F(FatDevice, TooSmallVolumeRefusesBeforeAnythingChanges) {
    TOVI_FAT_VOLUME(volume, 1024);
    makeDevice(volume.root(), cardSet(1));
    const Files big = cardSet(2, 3, true);
    qint64 total = 0;
    for (const auto& [name, bytes] : big)
        total += bytes.size();
    ASSERT_GT(total, 1024 * 1024) << "the new set must not fit";

    const auto before = tree(volume.root());
    try {
        Game1Installer::install(big, volume.root(), backups());
        ADD_FAILURE() << "installed";
    } catch (const DeviceSpaceError& error) {
        EXPECT_EQ(error.failureKind(), FailureKind::deviceFull);
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Na Tovi brakuje miejsca: potrzeba")))
            << error.message().toStdString();
    }
    EXPECT_EQ(tree(volume.root()), before);
    EXPECT_FALSE(QFileInfo::exists(backups()));

    // A single write that does not fit leaves the old file and no temporary behind.
    const QString target = volume.root() + QStringLiteral("/Photo1/big.gif");
    writeFile(target, "old");
    EXPECT_THROW(atomicWrite(target, QByteArray(2 * 1024 * 1024, 'x')), PlatformError);
    EXPECT_EQ(readFile(target), QByteArray("old"));
    EXPECT_EQ(QDir(volume.root() + QStringLiteral("/Photo1")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("big.gif")});
    ASSERT_TRUE(volume.unmount());
    EXPECT_EQ(volume.check(), QString());
}

TEST_F(FatDevice, BookmarkFollowsTheVolumeToAnotherMountPoint) {
    TOVI_FAT_VOLUME(volume, 1024);
    makeDevice(volume.root());
    const QString first = volume.root();
    const QByteArray bookmark = Bookmark::make(first + QStringLiteral("/Game1"));
    EXPECT_EQ(Bookmark::resolve(bookmark).status, Bookmark::Status::fresh);

    // The same volume under another name ("NO NAME1" when another disk took the first): it is
    // still the user's device, so it resolves there as fresh.
    ASSERT_TRUE(volume.unmount());
    const QString second = m_local.filePath(QStringLiteral("NO NAME 1"));
    ASSERT_TRUE(volume.mount(second));
    Bookmark::Resolved resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::fresh);
    EXPECT_EQ(resolved.path, second + QStringLiteral("/Game1"));

    // Back at its place it is fresh again, although FAT gives its folders new inode numbers.
    ASSERT_TRUE(volume.unmount());
    ASSERT_TRUE(volume.mount(first));
    resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::fresh);
    EXPECT_EQ(resolved.path, first + QStringLiteral("/Game1"));
    ASSERT_TRUE(volume.unmount());

    // Another device at the same place is another folder.
    TOVI_FAT_VOLUME(other, 1024);
    ASSERT_TRUE(other.unmount());
    ASSERT_TRUE(other.mount(first));
    makeDevice(first);
    resolved = Bookmark::resolve(bookmark);
    EXPECT_EQ(resolved.status, Bookmark::Status::stale);
    EXPECT_EQ(resolved.path, first + QStringLiteral("/Game1"));
    ASSERT_TRUE(other.unmount());
    EXPECT_EQ(Bookmark::resolve(bookmark).status, Bookmark::Status::unresolvable);
}

TEST_F(FatDevice, FullDiskDuringWritePhaseIsRolledBack) {
    TOVI_FAT_VOLUME(volume, 2048);
    const Files old = cardSet(1);
    makeDevice(volume.root(), old);
    const QString game1 = volume.root() + QStringLiteral("/Game1");

    // Before the third card someone fills the disk, so its write fails for want of space and
    // the roll-back has no room for temporary copies either.
    const auto fill = [&volume](const QByteArray& bytes, const QString& target) {
        if (target.endsWith(QStringLiteral("3.gif"))) {
            fillUp(volume.root() + QStringLiteral("/Photo1/filler"));
        }
        atomicWrite(target, bytes);
    };
    try {
        Game1Installer::install(cardSet(2, 3, true), volume.root(), backups(), fill);
        ADD_FAILURE() << "installed";
    } catch (const ToviError& error) {
        // Told as a full Tovi, whichever way the driver answered (fusefat: EPERM).
        EXPECT_EQ(error.failureKind(), FailureKind::deviceFull) << error.message().toStdString();
    }
    EXPECT_EQ(Game1Installer::snapshot(game1), old);
    ASSERT_TRUE(volume.unmount());
    EXPECT_EQ(volume.check(), QString());
}

TEST_F(FatDevice, ARowIsMeasuredBeforeItIsWrittenAndEachPictureStandsAlone) {
    TOVI_FAT_VOLUME(volume, 1024);
    makeDevice(volume.root());
    const QString album = volume.root() + QStringLiteral("/Photo1");
    const auto row = [](int count, int bytes) {
        std::vector<AlbumRow::Graphic> graphics;
        for (int i = 0; i < count; ++i)
            graphics.push_back({QStringLiteral("%1.jpg").arg(i), AlbumWriter::freshName("jpg"),
                                QByteArray(bytes, char('a' + i))});
        return graphics;
    };
    const auto filled = [&](qint64 leave) {
        const qint64 free = DeviceSpace::of(album).free;
        writeFile(album + QStringLiteral("/filler"), QByteArray(free - leave, 'f'));
    };

    // The whole row is measured first: each file alone would fit, the three do not.
    const DeviceSpace space = DeviceSpace::of(album);
    const std::vector<AlbumRow::Graphic> three = row(3, int(space.free / 3 + space.cluster));
    EXPECT_THROW(AlbumRow::requireRoom(volume.root(), QStringLiteral("Photo1"), three),
                 DeviceSpaceError);
    EXPECT_NO_THROW(AlbumRow::requireRoom(volume.root(), QStringLiteral("Photo1"),
                                          {three.begin(), three.begin() + 2}));

    // The disk fills up after the first picture: it stays whole, the others are told why.
    const std::vector<AlbumRow::Graphic> small = row(3, 3000);
    std::vector<AlbumRow::Result> results =
        AlbumRow::add(volume.root(), QStringLiteral("Photo1"), small, [&](int index) {
            if (index == 1)
                filled(0);
            return true;
        });
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].written());
    EXPECT_EQ(readFile(album + QLatin1Char('/') + results[0].name), small[0].bytes);
    for (int i : {1, 2})
        EXPECT_TRUE(results[size_t(i)].error.startsWith(QStringLiteral("Na Tovi brakuje miejsca")))
            << results[size_t(i)].error.toStdString();
    EXPECT_EQ(QDir(album).entryList(QDir::Files | QDir::Hidden).size(), 2); // no leftovers
    QFile::remove(album + QStringLiteral("/filler"));

    // Pulled out after the first picture: that one is whole on the volume, the rest unsent.
    const QString mountPoint = volume.root();
    results = AlbumRow::add(mountPoint, QStringLiteral("Photo1"), small,
                            [&](int index) { return index < 1 || volume.unmount(); });
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].written());
    EXPECT_FALSE(results[1].written() || results[2].written());
    EXPECT_FALSE(results[1].error.isEmpty());
    EXPECT_EQ(volume.check(), QString());
    ASSERT_TRUE(volume.mount(mountPoint));
    EXPECT_EQ(readFile(album + QLatin1Char('/') + results[0].name), small[0].bytes);

    // A stop between pictures: what was written stays, nothing after it is tried.
    results = AlbumRow::add(mountPoint, QStringLiteral("Photo1"), small,
                            [](int index) { return index == 0; });
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].written());
}
