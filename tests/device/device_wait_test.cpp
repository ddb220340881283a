#include "device/device_watch.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/model_home.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tovi;
using tovi::test::FatVolume;

namespace {

// `tovi send --wait` started before the Tovi is plugged in: a disk mounted there without the
// Tovi's folders is told and waited past; the folders made later, with no mount of their own,
// are found by looking again.
TEST(DeviceWait, SendWaitsUntilTheToviIsReallyThere) {
    test::ModelHome home;
    TOVI_FAT_VOLUME(volume, 4096);
    const QString root = volume.root();
    ASSERT_TRUE(volume.unmount());

    QProcess tovi;
    tovi.start(QStringLiteral(TOVI_TOVI_BINARY),
               {QStringLiteral("send"), QStringLiteral(TOVI_FIXTURES "/image/anim.png"),
                QStringLiteral("--device"), root, QStringLiteral("--wait")});
    QString told;
    const auto tells = [&](const char* text) {
        return test::waitUntil([&] {
                   told += QString::fromUtf8(tovi.readAllStandardError());
                   return told.contains(QString::fromUtf8(text)) ||
                          tovi.state() == QProcess::NotRunning;
               }) &&
               told.contains(QString::fromUtf8(text));
    };
    ASSERT_TRUE(tells("Czekam na Tovi")) << told.toStdString();
    ASSERT_TRUE(volume.mount(root));
    ASSERT_TRUE(tells("jest teraz dysk bez folderów Tovi. Czekam dalej.")) << told.toStdString();
    test::makeDevice(root);

    ASSERT_TRUE(tovi.waitForFinished(60000));
    told += QString::fromUtf8(tovi.readAllStandardError());
    EXPECT_EQ(tovi.exitCode(), 0) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("Tovi jest podłączony."))) << told.toStdString();
    EXPECT_EQ(QDir(root + QStringLiteral("/Photo1")).entryList(QDir::Files).size(), 1);
}

// A beat after a stall means the device answers again.
TEST(DeviceWait, WatchTellsASilenceAndItsEnd) {
    DeviceWatch watch;
    watch.setPatience(std::chrono::milliseconds(1));
    watch.beat();
    EXPECT_FALSE(watch.watching()) << "a beat starts nothing";
    watch.start();
    ASSERT_TRUE(test::waitUntil([&] { return watch.stalled(); }));
    watch.beat();
    EXPECT_FALSE(watch.stalled());
    EXPECT_TRUE(watch.watching());
}

} // namespace
