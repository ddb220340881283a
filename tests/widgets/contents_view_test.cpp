#include "device/contents_view.h"
#include "shell/controls.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"
#include "support/model_home.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

// What the view draws of the session: a card's one line, long names cut with "…" in cells of one
// width, and "Cofnij" while there is something to take back.
TEST(DeviceContentsView, ShowsThePicturesAndOffersCofnij) {
    ModelHome home;
    const QString root = home.path() + QStringLiteral("/TOVI");
    makeDevice(root);
    const QByteArray card = makeGif(3, {240, 240}, 4);
    writeFile(root + QStringLiteral("/Photo1/tovi-1.gif"), card);
    const QString longName = QStringLiteral("wakacje nad morzem z babcia dziadkiem i psem.gif");
    writeFile(root + QStringLiteral("/Photo2/") + longName, card);
    writeFile(root + QStringLiteral("/Photo2/a.gif"), card);
    // A card that holds its last picture for ten minutes after 0.2 s of motion.
    const QRect all(0, 0, 240, 240);
    writeFile(
        root + QStringLiteral("/Game1/1.gif"),
        buildGif({240, 240}, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                 {solidFrame(all, 0, 10), solidFrame(all, 1, 10), solidFrame(all, 0, 60000)}));

    DeviceContentsView view(home.settings(), home.path() + QStringLiteral("/Backups"));
    DeviceContentsSession& session = view.session();
    session.setVolumeLister({});
    view.show();
    session.choose(root);
    const auto idle = [&] {
        return waitUntil([&] { return session.contents() && !session.busy(); });
    };
    ASSERT_TRUE(idle());
    const auto card1 = [&]() -> QString {
        for (const QLabel* label : view.findChildren<QLabel*>())
            if (label->accessibleName().startsWith(QStringLiteral("1.gif: ")))
                return label->accessibleName();
        return {};
    };
    EXPECT_TRUE(card1().contains(QStringLiteral(" · 3 klatki · 0,2 s, potem stoi · ")))
        << card1().toStdString();
    settle();
    const auto* cut = view.findChild<QWidget*>(QStringLiteral("Photo2/") + longName)
                          ->findChild<ElidedLabel*>(QStringLiteral("pictureName"));
    EXPECT_TRUE(cut->shownText().endsWith(QStringLiteral("…"))) << cut->shownText().toStdString();
    EXPECT_EQ(cut->accessibleName(), longName);
    const int width = cut->parentWidget()->width();
    for (const char* cell : {"Photo2/a.gif", "Photo1/tovi-1.gif"})
        EXPECT_EQ(view.findChild<QWidget*>(QString::fromLatin1(cell))->width(), width) << cell;

    const auto undoOffered = [&] {
        const auto* undo = view.findChild<QPushButton*>(QStringLiteral("undo"));
        return undo && undo->isVisible();
    };
    EXPECT_FALSE(undoOffered());
    session.remove(QStringLiteral("Photo1"), QStringLiteral("tovi-1.gif"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(undoOffered());
    session.undo();
    ASSERT_TRUE(idle());
    EXPECT_FALSE(undoOffered());
}

} // namespace
