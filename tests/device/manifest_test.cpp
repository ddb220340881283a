#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "device/game_backup_manifest.h"
#include "device/pack_error.h"
#include "support/device_fixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

TEST(Manifest, EncodesCompactlyWithEscapedSlashesAndReferenceDate) {
    GameBackupManifest manifest;
    manifest.created = QDateTime(QDate(2001, 1, 1), QTime(0, 1), Qt::UTC);
    manifest.source = QStringLiteral("file:///media/ala/NO%20NAME/Game1/");
    manifest.files[QStringLiteral("._1.gif")] = GameBackupManifest::describe("abc");
    manifest.files[QStringLiteral("empty")] = GameBackupManifest::describe({});
    EXPECT_EQ(manifest.toJson(),
              QByteArray(R"({"created":60,"source":"file:\/\/\/media\/ala\/NO%20NAME\/Game1\/",)"
                         R"("files":{"._1.gif":{"bytes":3,"sha256":"ba7816bf8f01cfea414140de5dae22)"
                         R"(23b00361a396177a9cb410ff61f20015ad"},"empty":{"bytes":0,"sha256":"e3b0)"
                         R"(c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}}})"));
    EXPECT_EQ(GameBackupManifest::fromJson(manifest.toJson()), manifest);

    manifest.files.clear();
    manifest.created = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 250), Qt::UTC);
    const QByteArray json = manifest.toJson();
    EXPECT_TRUE(json.contains(R"("created":736672089.25,)")) << json.toStdString();
    EXPECT_TRUE(json.endsWith(R"("files":{}})")) << json.toStdString();
    EXPECT_EQ(GameBackupManifest::fromJson(json), manifest);
}

TEST(Manifest, DecodingNeedsEveryKey) {
    const auto refused = [](const char* json) {
        EXPECT_EQ(kindThrown<PackError>([&] { GameBackupManifest::fromJson(json); }),
                  PackError::backupFailed)
            << json;
    };
    refused(R"({"source":"x","files":{}})");
    refused(R"({"created":1,"files":{}})");
    refused(R"({"created":1,"source":"x"})");
    refused(R"({"created":1,"source":"x","files":{"a":{"bytes":1}}})");
    refused(R"({"created":1,"source":"x","files":{"a":{"bytes":1.5,"sha256":"00"}}})");
    refused("not json");
    // A date no clock can hold would overflow the milliseconds.
    refused(R"({"created":9.2e15,"source":"x","files":{}})");
    refused(R"({"created":-1e300,"source":"x","files":{}})");
}

TEST(Manifest, NamesThatAreNotValidUnicodeReadBackExactly) {
    GameBackupManifest manifest;
    manifest.created = QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    manifest.source = QStringLiteral("file:///media/NO%20NAME/Game1/");
    const QString lone = QStringLiteral("1") + QChar(char16_t(0xdc80)) + QStringLiteral(".gif");
    const QString pair = QStringLiteral("zażółć ") + QString::fromUcs4(U"\U0001F3B2");
    manifest.files[lone] = GameBackupManifest::describe("a");
    manifest.files[pair] = GameBackupManifest::describe("b");
    const QByteArray json = manifest.toJson();
    EXPECT_TRUE(json.contains("1\\udc80.gif")) << json.toStdString();
    EXPECT_TRUE(json.contains(pair.toUtf8())) << json.toStdString();
    EXPECT_EQ(GameBackupManifest::fromJson(json), manifest);
}

TEST(AtomicWrite, ReplacesWholeFileAndLeavesNoTemporary) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("1.gif"));
    atomicWrite(target, "first version, longer");
    atomicWrite(target, "second");
    EXPECT_EQ(readFile(target), QByteArray("second"));
    EXPECT_EQ(readBack(target), QByteArray("second"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"1.gif"});
}

TEST(AtomicWrite, FailureLeavesTargetAndFolderAsTheyWere) {
    QTemporaryDir dir;
    // A folder in the target's place cannot be replaced by a file: the rename fails.
    const QString target = dir.filePath(QStringLiteral("2.gif"));
    makeFolder(target + QStringLiteral("/inside"));
    const auto before = tree(dir.path());
    try {
        atomicWrite(target, "new");
        ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.path(), target);
    }
    EXPECT_EQ(tree(dir.path()), before);

    try {
        atomicWrite(dir.filePath(QStringLiteral("missing/3.gif")), "new");
        ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.kind(), PlatformError::notFound);
    }
    EXPECT_THROW(readFile(dir.filePath(QStringLiteral("missing.gif"))), PlatformError);
    EXPECT_THROW(readBack(target), PlatformError);
}
