#include "app/atomic_write.h"
#include "device/album_writer.h"
#include "device/folder_lock.h"
#include "media/media_error.h"
#include "support/device_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace tovi;
using namespace tovi::test;

namespace {

class Album : public ::testing::Test {
protected:
    void SetUp() override { makeDevice(root()); }
    QString root() const { return m_dir.filePath(QStringLiteral("NO NAME")); }
    QString album() const { return root() + QStringLiteral("/Photo2"); }
    QStringList files() const {
        return QDir(album()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QTemporaryDir m_dir;
    const QByteArray m_gif = makeGif(1);
};

} // namespace

TEST_F(Album, AddsTheFileAfterRemovingOnlyOurLeftovers) {
    writeFile(album() + QStringLiteral("/.tovi-0A1B2C3D.gif.tovi-0a1b2c3d.tmp"), "torn");
    writeFile(album() + QStringLiteral("/.holiday.gif.tovi-0a1b2c3d.tmp.keep"), "the user's");
    QStringList told;
    const auto observe = [&told](const AlbumWriter::Added& sofar) {
        told << sofar.removed;
        return true;
    };
    const AlbumWriter::Added added =
        AlbumWriter::add(root(), QStringLiteral("Photo2"), QStringLiteral("tovi-1.gif"), m_gif,
                         writeAtomically, observe);
    EXPECT_EQ(added.album, QStringLiteral("Photo2"));
    EXPECT_EQ(told, QStringList{QStringLiteral(".tovi-0A1B2C3D.gif.tovi-0a1b2c3d.tmp")});
    EXPECT_EQ(files(), (QStringList{QStringLiteral(".holiday.gif.tovi-0a1b2c3d.tmp.keep"),
                                    QStringLiteral("tovi-1.gif")}));
    EXPECT_EQ(readFile(album() + QStringLiteral("/tovi-1.gif")), m_gif);
}

TEST_F(Album, ReportsAReadBackThatDiffersAndAStopBeforeWriting) {
    const auto shortened = [](const QByteArray& bytes, const QString& target) {
        atomicWrite(target, bytes.left(10));
    };
    try {
        AlbumWriter::add(root(), QStringLiteral("Photo2"), QStringLiteral("tovi-1.gif"), m_gif,
                         shortened);
        ADD_FAILURE() << "verified";
    } catch (const MediaError& error) {
        EXPECT_EQ(error.kind(), MediaError::encode);
    }
    // Nobody waits for the write any more: it does not begin.
    EXPECT_THROW(AlbumWriter::add(root(), QStringLiteral("Photo2"), QStringLiteral("tovi-2.gif"),
                                  m_gif, writeAtomically,
                                  [](const AlbumWriter::Added&) { return false; }),
                 Cancelled);
    EXPECT_FALSE(QFileInfo::exists(album() + QStringLiteral("/tovi-2.gif")));
}

TEST_F(Album, TwoWritersOfOneAlbumTakeTurns) {
    std::optional<FolderLock> other(std::in_place, album());
    std::atomic<bool> finished = false;
    std::thread writing([&] {
        try {
            AlbumWriter::add(root(), QStringLiteral("Photo2"), QStringLiteral("tovi-1.gif"), m_gif);
        } catch (...) {
        }
        finished = true;
    });
    QThread::msleep(300);
    EXPECT_FALSE(finished);
    EXPECT_TRUE(files().isEmpty());
    other.reset();
    writing.join();
    EXPECT_EQ(files(), QStringList{QStringLiteral("tovi-1.gif")});
}
