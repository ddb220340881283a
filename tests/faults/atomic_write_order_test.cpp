#include "app/atomic_write.h"
#include "device/album_removal.h"
#include "device/removal_error.h"
#include "faults/interposed.h"
#include "support/device_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;

// A pulled cable must leave the old file or the whole new one: the data reaches the medium before
// the rename publishes it, and the folder is synced after, so that the rename itself lasts.
TEST(AtomicWriteOrder, DataSyncedThenRenamedThenFolderSynced) {
    QTemporaryDir dir;
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    const QString target = folder + QStringLiteral("/1.gif");
    atomicWrite(target, "old");
    test::SyscallLog log;
    atomicWrite(target, "new");
    const QStringList calls = log.calls();
    ASSERT_EQ(calls.size(), 3) << calls.join(QLatin1Char('\n')).toStdString();
    const QString arrow = QStringLiteral(" → ");
    ASSERT_TRUE(calls[1].startsWith(QStringLiteral("rename ")) && calls[1].endsWith(arrow + target))
        << calls[1].toStdString();
    const QString temporary = calls[1].mid(7).section(arrow, 0, 0);
    EXPECT_EQ(QFileInfo(temporary).path(), folder);
    EXPECT_EQ(calls[0], QStringLiteral("fsync ") + temporary);
    EXPECT_EQ(calls[2], QStringLiteral("fsync ") + folder);
}

// A picture leaves the Tovi only once its copy reads back as it was read: a disk that writes the
// copy wrong leaves the picture where it was, and no copy.
TEST(AtomicWriteOrder, APictureWhoseCopyReadsBackDifferentStaysOnTheTovi) {
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("NO NAME"));
    const QString kept = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/kept");
    test::makeDevice(device);
    const QString picture = device + QStringLiteral("/Photo1/tovi-1.gif");
    const QByteArray bytes = test::makeGif(1);
    test::writeFile(picture, bytes);
    {
        const test::CorruptWrites corrupt(kept);
        try {
            AlbumRemoval::remove(device, QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"),
                                 kept);
            ADD_FAILURE() << "removed";
        } catch (const RemovalError& error) {
            EXPECT_EQ(error.kind(), RemovalError::copyFailed);
        }
    }
    EXPECT_EQ(readFile(picture), bytes);
    EXPECT_TRUE(
        QDir(kept + QStringLiteral("/Photo1")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}
