#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/model_home.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tovi;
using tovi::test::FatVolume;

namespace {

// `tovi send --wait` started before the Tovi is plugged in goes on once it is mounted.
TEST(DeviceWait, SendWaitsUntilTheToviIsMounted) {
    if (const QString why = FatVolume::unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    test::ModelHome home;
    FatVolume volume(4096);
    ASSERT_TRUE(volume.error().isEmpty()) << volume.error().toStdString();
    const QString root = volume.root();
    test::makeDevice(root);
    ASSERT_TRUE(volume.unmount());

    QProcess tovi;
    tovi.start(QStringLiteral(TOVI_TOVI_BINARY),
               {QStringLiteral("send"), QStringLiteral(TOVI_FIXTURES "/image/anim.png"),
                QStringLiteral("--device"), root, QStringLiteral("--wait")});
    QString told;
    ASSERT_TRUE(test::waitUntil([&] {
        told += QString::fromUtf8(tovi.readAllStandardError());
        return told.contains(QStringLiteral("Czekam na Tovi"));
    })) << told.toStdString();

    ASSERT_TRUE(volume.mount(root));
    ASSERT_TRUE(tovi.waitForFinished(60000));
    told += QString::fromUtf8(tovi.readAllStandardError());
    EXPECT_EQ(tovi.exitCode(), 0) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("Tovi jest podłączony."))) << told.toStdString();
    EXPECT_EQ(QDir(root + QStringLiteral("/Photo1")).entryList(QDir::Files).size(), 1);
}

} // namespace
