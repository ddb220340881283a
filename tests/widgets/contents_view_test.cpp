#include "app/atomic_write.h"
#include "app/settings.h"
#include "device/bookmark.h"
#include "device/contents_view.h"
#include "shell/controls.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/gif_builder.h"
#include "support/model_home.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

// The Tovi remembered once and unplugged; "Na Tovi" opened; the Tovi plugged in, a picture taken
// off, put back once the Tovi has room again, moved, and the Tovi pulled out.
TEST(DeviceContentsView, FollowsTheToviAndTakesPicturesOffWithoutLosingThem) {
    if (const QString why = FatVolume::unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ModelHome home;
    FatVolume volume(4096);
    ASSERT_TRUE(volume.error().isEmpty()) << volume.error().toStdString();
    const QString root = volume.root();
    makeDevice(root);
    const QByteArray card = makeGif(3, {240, 240}, 4);
    writeFile(root + QStringLiteral("/Photo1/tovi-1.gif"), card);
    writeFile(root + QStringLiteral("/Photo1/._tovi-1.gif"), "companion");
    const QString longName = QStringLiteral("wakacje nad morzem z babcia dziadkiem i psem.gif");
    writeFile(root + QStringLiteral("/Photo2/") + longName, card);
    writeFile(root + QStringLiteral("/Photo2/a.gif"), card);
    // A card that holds its last picture for ten minutes after 0.2 s of motion.
    const QRect all(0, 0, 240, 240);
    writeFile(
        root + QStringLiteral("/Game1/1.gif"),
        buildGif({240, 240}, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                 {solidFrame(all, 0, 10), solidFrame(all, 1, 10), solidFrame(all, 0, 60000)}));
    home.settings().setBytes(Settings::rootPermission, Bookmark::make(root));
    ASSERT_TRUE(volume.unmount());

    DeviceContentsView view(home.settings());
    view.setVolumeLister({}); // only the remembered root, never this machine's disks
    view.show();
    const auto idle = [&] { return waitUntil([&] { return !view.busy(); }); };
    ASSERT_TRUE(idle());
    EXPECT_FALSE(view.contents());

    ASSERT_TRUE(volume.mount(root));
    ASSERT_TRUE(waitUntil([&] { return view.contents() && !view.busy(); }));
    ASSERT_EQ(view.contents()->albums.size(), 3u);
    ASSERT_EQ(view.contents()->albums[0].pictures.size(), 1u) << "no ._ companion";
    const auto card1 = [&]() -> QString {
        for (const QLabel* label : view.findChildren<QLabel*>())
            if (label->accessibleName().startsWith(QStringLiteral("1.gif: ")))
                return label->accessibleName();
        return {};
    };
    EXPECT_TRUE(card1().contains(QStringLiteral(" · 3 klatki · 0,2 s, potem stoi · ")))
        << card1().toStdString();
    const auto before = tree(root);
    // A long name ends in "…" and is read whole; the cells of every album are of one width.
    settle();
    const auto* cut = view.findChild<QWidget*>(QStringLiteral("Photo2/") + longName)
                          ->findChild<ElidedLabel*>(QStringLiteral("pictureName"));
    EXPECT_TRUE(cut->shownText().endsWith(QStringLiteral("…"))) << cut->shownText().toStdString();
    EXPECT_EQ(cut->accessibleName(), longName);
    const int width = cut->parentWidget()->width();
    for (const char* cell : {"Photo2/a.gif", "Photo1/tovi-1.gif"})
        EXPECT_EQ(view.findChild<QWidget*>(QString::fromLatin1(cell))->width(), width) << cell;

    view.remove(QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"));
    ASSERT_TRUE(idle());
    ASSERT_TRUE(view.removed()) << view.error().toStdString();
    EXPECT_EQ(readFile(view.removed()->copy), card);
    EXPECT_TRUE(view.contents()->albums[0].pictures.empty());
    const auto undoOffered = [&] {
        const auto* undo = view.findChild<QPushButton*>(QStringLiteral("undo"));
        return undo && undo->isVisible();
    };
    EXPECT_TRUE(undoOffered());
    view.reload();
    view.undo(); // nothing while the Tovi is read
    ASSERT_TRUE(idle());
    ASSERT_TRUE(view.removed());

    // Refused by a full Tovi, "Cofnij" keeps the copy and is offered again.
    const QString filler = root + QStringLiteral("/Photo3/filler");
    QFile fill(filler);
    ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
    while (fill.write(QByteArray(4096, 'f')) == 4096 && fill.flush()) {
    }
    fill.close();
    view.undo();
    ASSERT_TRUE(idle());
    EXPECT_FALSE(view.error().isEmpty());
    ASSERT_TRUE(view.removed());
    EXPECT_EQ(readFile(view.removed()->copy), card);
    EXPECT_TRUE(undoOffered());
    ASSERT_TRUE(QFile::remove(filler));

    view.undo();
    ASSERT_TRUE(idle());
    EXPECT_EQ(tree(root), before) << view.error().toStdString();
    EXPECT_FALSE(view.removed());

    view.move(QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"), QStringLiteral("Photo3"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(readFile(root + QStringLiteral("/Photo3/tovi-1.gif")), card);
    EXPECT_EQ(readFile(home.library() + QStringLiteral("/Usunięte z Tovi/Photo1/tovi-1.gif")),
              card);
    // "Cofnij" takes the move back as it puts a removal back.
    EXPECT_TRUE(undoOffered());
    view.undo();
    ASSERT_TRUE(idle());
    EXPECT_EQ(tree(root), before) << view.error().toStdString();
    EXPECT_FALSE(view.moved());
    EXPECT_FALSE(undoOffered());

    ASSERT_TRUE(volume.unmount());
    EXPECT_TRUE(waitUntil([&] { return !view.contents() && !view.busy(); }));
}

} // namespace
