#include "app/atomic_write.h"
#include "app/settings.h"
#include "device/bookmark.h"
#include "device/device_contents_session.h"
#include "device/device_presence.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/model_home.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

// The Tovi remembered once and unplugged; "Na Tovi" following it; the Tovi plugged in, a picture
// taken off, put back once the Tovi has room again, moved and taken back, a set restored from
// its backup, the Tovi silent and waited for no more, and pulled out.
TEST(DeviceContentsSession, FollowsTheToviAndTakesPicturesOffWithoutLosingThem) {
    ModelHome home;
    TOVI_FAT_VOLUME(volume, 4096);
    const QString root = volume.root();
    const Game1Installer::Files first = cardSet(1);
    makeDevice(root, first);
    const QString backups = home.path() + QStringLiteral("/Backups");
    Game1Installer::install(cardSet(2), root, backups);
    const QByteArray card = makeGif(3, {240, 240}, 4);
    writeFile(root + QStringLiteral("/Photo1/tovi-1.gif"), card);
    writeFile(root + QStringLiteral("/Photo1/._tovi-1.gif"), "companion");
    home.settings().setBytes(Settings::rootPermission, Bookmark::make(root));
    ASSERT_TRUE(volume.unmount());

    DeviceContentsSession session(home.settings(), backups);
    session.setVolumeLister({}); // only the remembered root, never this machine's disks
    session.follow(true);
    const auto idle = [&] { return waitUntil([&] { return !session.busy(); }); };
    ASSERT_TRUE(idle());
    EXPECT_FALSE(session.contents());
    ASSERT_TRUE(waitUntil([&] { return session.backups().size() == 1; }));

    ASSERT_TRUE(volume.mount(root));
    ASSERT_TRUE(waitUntil([&] { return session.contents() && !session.busy(); }));
    ASSERT_EQ(session.contents()->albums.size(), 3u);
    ASSERT_EQ(session.contents()->albums[0].pictures.size(), 1u) << "no ._ companion";
    const auto before = tree(root);

    session.remove(QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"));
    EXPECT_EQ(session.doing(), QStringLiteral("Usuwam tovi-1.gif z Tovi…"));
    ASSERT_TRUE(idle());
    ASSERT_TRUE(session.removed()) << session.error().toStdString();
    EXPECT_EQ(readFile(session.removed()->copy), card);
    EXPECT_EQ(session.notice(), QStringLiteral("Usunięto tovi-1.gif z Photo1. Sprawdzona kopia: ") +
                                    QDir::toNativeSeparators(session.removed()->copy));
    EXPECT_TRUE(session.contents()->albums[0].pictures.empty());
    EXPECT_TRUE(session.canUndo());
    session.reload();
    EXPECT_FALSE(session.canUndo());
    session.undo(); // nothing while the Tovi is read
    ASSERT_TRUE(idle());
    ASSERT_TRUE(session.removed());

    // Refused by a full Tovi, "Cofnij" keeps the copy and is offered again.
    const QString filler = root + QStringLiteral("/Photo3/filler");
    fillUp(filler);
    session.undo();
    ASSERT_TRUE(idle());
    EXPECT_FALSE(session.error().isEmpty());
    ASSERT_TRUE(session.removed());
    EXPECT_EQ(readFile(session.removed()->copy), card);
    EXPECT_TRUE(session.canUndo());
    ASSERT_TRUE(QFile::remove(filler));

    session.undo();
    EXPECT_TRUE(session.error().isEmpty()) << "the work begun is not the one that failed";
    ASSERT_TRUE(idle());
    EXPECT_EQ(tree(root), before) << session.error().toStdString();
    EXPECT_FALSE(session.removed());
    EXPECT_EQ(session.notice(),
              QStringLiteral("tovi-1.gif wrócił do Photo1; zapis zweryfikowany."));
    EXPECT_FALSE(session.canUndo());

    session.move(QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"), QStringLiteral("Photo3"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(readFile(root + QStringLiteral("/Photo3/tovi-1.gif")), card);
    EXPECT_EQ(readFile(home.library() + QStringLiteral("/Usunięte z Tovi/Photo1/tovi-1.gif")),
              card);
    EXPECT_EQ(session.contents()->albums[2].pictures.size(), 1u);
    // "Cofnij" takes the move back as it puts a removal back.
    EXPECT_TRUE(session.canUndo());
    session.undo();
    ASSERT_TRUE(idle());
    EXPECT_EQ(tree(root), before) << session.error().toStdString();
    EXPECT_FALSE(session.moved());
    EXPECT_FALSE(session.canUndo());

    // The set restored is backed up first, and the list shows that backup too.
    session.restore(session.backups().front());
    ASSERT_TRUE(idle());
    EXPECT_TRUE(session.error().isEmpty()) << session.error().toStdString();
    EXPECT_EQ(Game1Installer::snapshot(root + QStringLiteral("/Game1")), first);
    EXPECT_TRUE(session.notice().startsWith(QStringLiteral("Przywrócono zestaw z kopii z ")));
    EXPECT_TRUE(waitUntil([&] { return session.backups().size() == 2; }));

    // A Tovi that stops answering under a removal or while it is read may be waited for no
    // more, each told as far as it got; once it answers again, it is read again and nothing was
    // lost.
    session.setPatience(std::chrono::milliseconds(300));
    ASSERT_TRUE(volume.freeze(true));
    session.remove(QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"));
    ASSERT_TRUE(waitUntil([&] { return session.stalled(); }));
    session.stopWaiting();
    EXPECT_EQ(session.error(), AlbumRemoval::stoppedText(std::nullopt));
    session.reload();
    ASSERT_TRUE(waitUntil([&] { return session.stalled(); }));
    session.stopWaiting();
    EXPECT_FALSE(session.busy());
    EXPECT_FALSE(session.contents());
    EXPECT_TRUE(session.error().startsWith(QStringLiteral("Przestano czekać na Tovi.")));
    ASSERT_TRUE(volume.freeze(false));
    session.reload();
    EXPECT_TRUE(waitUntil([&] { return session.contents() && !session.busy(); }));
    EXPECT_EQ(readFile(root + QStringLiteral("/Photo1/tovi-1.gif")), card);
    // Opened while the Tovi is plugged in, it is read at once.
    DeviceContentsSession opened(home.settings(), backups);
    opened.setVolumeLister({});
    opened.follow(true);
    EXPECT_TRUE(waitUntil([&] { return opened.contents() && !opened.busy(); }));
    opened.follow(false);

    ASSERT_TRUE(volume.unmount());
    EXPECT_TRUE(waitUntil([&] { return !session.contents() && !session.busy(); }));
    session.follow(false);
    waitForWork();
}

// One look at a time: one asked for meanwhile is asked for again once it ends and the overtaken
// answer is dropped; an abandoned look lets the next begin at once.
TEST(DevicePresence, LooksOneAtATimeAndDropsWhatWasOvertaken) {
    QTemporaryDir disks;
    const QString root = disks.filePath(QStringLiteral("TOVI"));
    makeDevice(root);
    DevicePresence presence;
    presence.setVolumeLister([&] { return QStringList{root}; });
    int changed = 0;
    QObject::connect(&presence, &DevicePresence::changed, [&] { ++changed; });
    std::atomic<bool> hold = false;
    QStringList answers;
    const auto look = [&] {
        return presence.look(
            {ToviTransferKind::cards, {}, {}, {}},
            [&hold](const DeviceFinder::Lookup& found) {
                while (hold)
                    QThread::msleep(5);
                return found.candidates.join(QLatin1Char('|'));
            },
            [&answers](const Outcome<QString>& outcome) {
                answers << outcome.value.value_or("?");
            });
    };
    ASSERT_TRUE(look());
    ASSERT_TRUE(waitUntil([&] { return !answers.isEmpty(); }));
    EXPECT_EQ(answers, QStringList{root});
    EXPECT_EQ(changed, 0);

    hold = true;
    ASSERT_TRUE(look());
    EXPECT_TRUE(presence.looking());
    EXPECT_FALSE(look());
    hold = false;
    ASSERT_TRUE(waitUntil([&] { return changed == 1; }));
    EXPECT_FALSE(presence.looking());
    EXPECT_EQ(answers.size(), 1);
    ASSERT_TRUE(look());
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }));

    hold = true;
    ASSERT_TRUE(look());
    presence.abandon();
    EXPECT_FALSE(presence.looking());
    ASSERT_TRUE(look());
    hold = false;
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 3; }));
    waitForWork();
    spin(50);
    EXPECT_EQ(answers.size(), 3);
    EXPECT_EQ(changed, 1);
}

} // namespace
