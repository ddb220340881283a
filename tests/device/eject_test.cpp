#include "device/drive_eject.h"
#include "device/mount_table.h"
#include "support/cli_runner.h"
#include "support/device_fixtures.h"
#include "support/fake_udisks.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace tovi;
using namespace tovi::test;

namespace {

const QString busyMessage =
    QStringLiteral("Dysk jest jeszcze używany. Zamknij pliki z Tovi i spróbuj ponownie.");

QString unmount() {
    return QStringLiteral("Unmount ") + FakeUDisks::block;
}
QString powerOff() {
    return QStringLiteral("PowerOff ") + FakeUDisks::drive;
}

// A Tovi laid out in a temporary folder that a made-up mount table says is /dev/fake1, and a
// private bus to serve the fake UDisks2 on. Nothing here looks at the machine's own mounts or
// talks to its buses.
class DriveEjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.running())
            GTEST_SKIP() << "no private D-Bus: " << bus.failure().toStdString();
        root = dir.filePath(QStringLiteral("NO NAME"));
        makeDevice(root);
        mountinfo = mountinfoLine(root, FakeUDisks::device);
        mounts = MountTable::parse(mountinfo);
        ASSERT_EQ(mounts.size(), 1u);
        client = bus.connect();
        ASSERT_TRUE(client.isConnected());
    }

    void serve(FakeDrive settings = {}) {
        fake.reset();
        fake.emplace(bus, settings);
        ASSERT_TRUE(fake->registered());
    }

    std::optional<DriveEject::Target> find(const QString& folder) {
        return DriveEject::find(folder, client, mounts);
    }

    QString ejectFailure(const DriveEject::Target& target) {
        try {
            DriveEject::eject(target, client);
        } catch (const EjectError& error) {
            return error.message();
        }
        return {};
    }

    PrivateBus bus;
    QDBusConnection client{QString()};
    std::optional<FakeUDisks> fake;
    QTemporaryDir dir;
    QString root;
    QByteArray mountinfo;
    std::vector<Mount> mounts;
};

TEST_F(DriveEjectTest, FindsTheDriveFromAnyDeviceFolderAndUnmountsBeforePoweringOff) {
    serve();
    for (const QString& folder :
         {root, root + QStringLiteral("/Photo2"), root + QStringLiteral("/Game1/")}) {
        SCOPED_TRACE(folder.toStdString());
        const std::optional<DriveEject::Target> target = find(folder);
        ASSERT_TRUE(target);
        EXPECT_EQ(target->device, FakeUDisks::device);
        EXPECT_EQ(target->mountPoint, QDir(root).canonicalPath());
        EXPECT_EQ(target->block, FakeUDisks::block);
        EXPECT_EQ(target->drive, FakeUDisks::drive);
        EXPECT_TRUE(target->canPowerOff);
    }
    // A mount made from one of the device's /dev/disk links finds the same block device.
    mounts = MountTable::parse(mountinfoLine(root, FakeUDisks::deviceLink));
    const std::optional<DriveEject::Target> target = find(root);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->block, FakeUDisks::block);
    EXPECT_TRUE(fake->calls().isEmpty()); // looking changes nothing

    EXPECT_EQ(ejectFailure(*target), QString());
    EXPECT_EQ(fake->calls(), (QStringList{unmount(), powerOff()}));
}

TEST_F(DriveEjectTest, PowersOffOrEjectsOrOnlyUnmountsAsTheDriveAllows) {
    struct Case {
        FakeDrive drive;
        QStringList calls;
    };
    const Case cases[] = {
        {FakeDrive::offering(true, true, true), {unmount(), powerOff()}},
        {FakeDrive::offering(true, false, true),
         {unmount(), QStringLiteral("Eject ") + FakeUDisks::drive}},
        {FakeDrive::offering(true, false, false), {unmount()}},
        // Ejectable media counts as removable even when the drive does not say so.
        {FakeDrive::offering(false, false, true),
         {unmount(), QStringLiteral("Eject ") + FakeUDisks::drive}},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.calls.join(QLatin1String(", ")).toStdString());
        serve(item.drive);
        const std::optional<DriveEject::Target> target = find(root);
        ASSERT_TRUE(target);
        EXPECT_EQ(ejectFailure(*target), QString());
        EXPECT_EQ(fake->calls(), item.calls);
    }
}

TEST_F(DriveEjectTest, NotOfferedWithoutARemovableDriveThatUDisks2Knows) {
    // Nobody owns org.freedesktop.UDisks2 on the bus.
    EXPECT_FALSE(find(root));
    // A connection that is not connected to anything.
    EXPECT_FALSE(
        DriveEject::find(root, QDBusConnection(QStringLiteral("tovi-no-such-bus")), mounts));

    serve(FakeDrive::offering(false, true, false));
    EXPECT_FALSE(find(root)); // a fixed disk

    serve();
    // A block device UDisks2 does not list, a file system on no device, a folder outside the mount.
    mounts = MountTable::parse(mountinfoLine(root, QStringLiteral("/dev/fake9")));
    EXPECT_FALSE(find(root));
    mounts = MountTable::parse(mountinfoLine(root, QStringLiteral("tmpfs")));
    EXPECT_FALSE(find(root));
    mounts = MountTable::parse(mountinfo);
    const QString outside = dir.filePath(QStringLiteral("Dokumenty"));
    makeFolder(outside);
    EXPECT_FALSE(find(outside));
    EXPECT_FALSE(find(dir.filePath(QStringLiteral("missing"))));
    EXPECT_TRUE(fake->calls().isEmpty());
}

TEST_F(DriveEjectTest, FailuresAreExplainedInPolish) {
    // Files still open: said plainly, and the drive keeps its power.
    serve(FakeDrive::failing(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy")));
    std::optional<DriveEject::Target> target = find(root);
    ASSERT_TRUE(target);
    EXPECT_EQ(ejectFailure(*target), busyMessage);
    EXPECT_EQ(fake->calls(), QStringList{unmount()});

    // Unmounted elsewhere already: still powered off.
    serve(FakeDrive::failing(QStringLiteral("org.freedesktop.UDisks2.Error.NotMounted")));
    EXPECT_EQ(ejectFailure(*target), QString());
    EXPECT_EQ(fake->calls(), (QStringList{unmount(), powerOff()}));

    serve(
        FakeDrive::failing(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed")));
    EXPECT_EQ(ejectFailure(*target),
              QStringLiteral("Nie udało się wysunąć dysku: brak uprawnień."));

    serve(FakeDrive::failing({}, QStringLiteral("org.freedesktop.UDisks2.Error.Failed")));
    EXPECT_EQ(ejectFailure(*target), QStringLiteral("Nie udało się wysunąć dysku: Fake failure."));
    EXPECT_EQ(fake->calls(), (QStringList{unmount(), powerOff()}));

    // The service went away between finding and ejecting.
    fake.reset();
    EXPECT_EQ(ejectFailure(*target),
              QStringLiteral("Nie udało się wysunąć dysku: usługa UDisks2 jest niedostępna."));
}

TEST_F(DriveEjectTest, CommandLineEjectsOnTheBusItIsPointedAt) {
    QTemporaryDir data;
    const QString table = data.filePath(QStringLiteral("mountinfo"));
    writeFile(table, mountinfo);
    qputenv("TOVI_DBUS_ADDRESS", bus.address().toUtf8());
    qputenv("TOVI_MOUNTINFO", QFile::encodeName(table));
    struct Unset {
        ~Unset() {
            qunsetenv("TOVI_DBUS_ADDRESS");
            qunsetenv("TOVI_MOUNTINFO");
        }
    } unset;
    const QStringList command{QStringLiteral("eject"), QStringLiteral("--device"),
                              root + QStringLiteral("/Game1")};

    CliResult result = runTovi(command, data.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringLiteral("tovi: Nie znaleziono wymiennego dysku dla „") + root +
                              QStringLiteral("/Game1”.\n"));

    serve();
    result = runTovi(command, data.path());
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("Można bezpiecznie odłączyć Tovi.\n"));
    EXPECT_EQ(fake->calls(), (QStringList{unmount(), powerOff()}));

    serve(FakeDrive::failing(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy")));
    result = runTovi(command, data.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, QStringLiteral("tovi: ") + busyMessage + QLatin1Char('\n'));
    EXPECT_EQ(result.out, QString());

    EXPECT_EQ(runTovi(args("eject"), data.path()).status, 2);
}

} // namespace
