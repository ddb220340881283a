#include "app/atomic_write.h"
#include "device/game1_installer.h"
#include "support/cli_runner.h"
#include "support/device_fixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

TEST(DeviceCommands, InstallVerifyAndRestoreOnADeviceFolder) {
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("NO NAME"));
    const Game1Installer::Files old = cardSet(1);
    makeDevice(device, old);
    const QString cards = dir.filePath(QStringLiteral("cards"));
    makeFolder(cards);
    const Game1Installer::Files fresh = cardSet(2);
    for (const auto& [name, bytes] : fresh)
        writeFile(cards + QLatin1Char('/') + name, bytes);
    const QString data = dir.filePath(QStringLiteral("data"));

    // Default backups: the application's own folder.
    CliResult result = runToviOk(args("install-cards", cards, "--device", device), data);
    const QString backup = result.out.trimmed();
    EXPECT_EQ(QFileInfo(backup).path(), data + QStringLiteral("/ToviStudio/Packs/Backups"));
    EXPECT_EQ(Game1Installer::snapshot(device + QStringLiteral("/Game1")), fresh);

    result = runTovi(args("verify-backup", backup), data);
    EXPECT_EQ(result.status, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Jest installed.txt")))
        << result.out.toStdString();

    const QString backups = dir.filePath(QStringLiteral("own backups"));
    result =
        runToviOk(args("restore-backup", backup, "--device", device, "--backups", backups), data);
    EXPECT_EQ(QFileInfo(result.out.trimmed()).path(), backups);
    EXPECT_EQ(Game1Installer::snapshot(device + QStringLiteral("/Game1")), old);

    // A damaged backup is reported and never restored: a copy changed in place, same size, and
    // a copy the manifest lists that is gone.
    QByteArray changed = old.at(QStringLiteral("2.gif"));
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x55);
    atomicWrite(backup + QStringLiteral("/Game1/2.gif"), changed);
    ASSERT_TRUE(QFile::remove(backup + QStringLiteral("/Game1/5.gif")));
    result = runTovi(args("verify-backup", backup), data);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("2.gif: suma SHA-256 nie zgadza się z manifestem.")))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("5.gif: brak kopii tego pliku.")))
        << result.out.toStdString();
    result = runTovi(args("restore-backup", backup, "--device", device), data);
    EXPECT_NE(result.status, 0);
    EXPECT_TRUE(result.err.contains(QStringLiteral("uszkodzona"))) << result.err.toStdString();
    EXPECT_EQ(Game1Installer::snapshot(device + QStringLiteral("/Game1")), old);

    // Errors are the Polish messages with a non-zero status.
    result =
        runTovi(args("install-cards", cards, "--device", device + QStringLiteral("/Game2")), data);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Wskaż folder Game1")))
        << result.err.toStdString();
    EXPECT_EQ(runTovi(args("install-cards", cards), data).status, 2);

    // A backup folder that is not there is only that.
    const QString missing = dir.filePath(QStringLiteral("missing"));
    result = runTovi(args("verify-backup", missing), data);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, QString());
    EXPECT_EQ(result.err,
              QStringLiteral("tovi: Nie ma folderu ") + missing + QStringLiteral(".\n"));
}
