#include "app/background_task.h"
#include "app/settings.h"
#include "device/bookmark.h"
#include "device/mount_watcher.h"
#include "device/transfer_sheet.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/model_home.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace tovi;
using tovi::test::FatVolume;

namespace {

// The Tovi, remembered once, unplugged; the sheet opened; the Tovi plugged in and pulled out.
TEST(SheetFollowsMounts, TakesTheToviWhenMountedAndLetsGoWhenUnmounted) {
    test::ModelHome home;
    TOVI_FAT_VOLUME(volume, 4096);
    const QString root = volume.root();
    test::makeDevice(root);
    home.settings().setBytes(Settings::rootPermission, Bookmark::make(root));
    ASSERT_TRUE(volume.unmount());

    QStringList chosen;
    ToviTransferSheet* shown = nullptr;
    ToviTransferActions actions;
    actions.chooseDestination = [&](const QString& folder) {
        chosen << folder;
        shown->setDestination(folder);
    };
    ToviTransferSheet sheet(ToviTransferKind::cards, home.settings(), actions);
    shown = &sheet;
    sheet.setVolumeLister({}); // only the remembered root, never this machine's disks
    sheet.show();
    ASSERT_FALSE(sheet.ready());

    const auto follows = [&](bool ready) {
        return QTest::qWaitFor([&] { return sheet.ready() == ready; }, 30000);
    };
    ASSERT_TRUE(volume.mount(root));
    EXPECT_TRUE(follows(true));
    EXPECT_EQ(chosen, QStringList{root});
    ASSERT_TRUE(volume.unmount());
    EXPECT_TRUE(follows(false));

    const MountWatcher seen;
    bool changed = false;
    QObject::connect(&seen, &MountWatcher::changed, [&] { changed = true; });
    // Once this watcher has seen a change, so has the sheet's; its look-up is then let finish.
    const auto seenAndSettled = [&] {
        const bool told = QTest::qWaitFor([&] { return std::exchange(changed, false); }, 30000);
        test::spin(100); // the sheet's watcher may tell in a later turn of the loop
        deviceThreads().waitForDone();
        QCoreApplication::processEvents();
        return told;
    };
    // Plugged in during a write, as it starts (the lister starts it as a look goes off) or after,
    // and mounted elsewhere: taken only once the write is over.
    bool writeStarts = false;
    sheet.setVolumeLister([&] {
        if (std::exchange(writeStarts, false))
            sheet.setBusy(true);
        return QStringList();
    });
    QStringList places{root};
    for (const bool asALookBegins : {true, false}) {
        if (places.size() > 1) {
            ASSERT_TRUE(volume.unmount());
            EXPECT_TRUE(follows(false));
        }
        test::settle(); // no look that began before is still under way
        writeStarts = asALookBegins;
        sheet.setBusy(!asALookBegins);
        places << root + QString::number(places.size());
        ASSERT_TRUE(volume.mount(places.back()));
        ASSERT_TRUE(seenAndSettled());
        EXPECT_FALSE(sheet.ready());
        sheet.setBusy(false);
        EXPECT_TRUE(follows(true));
        EXPECT_EQ(chosen, places);
    }

    // A closed sheet watches nothing.
    sheet.hide();
    ASSERT_TRUE(volume.unmount());
    ASSERT_TRUE(seenAndSettled());
    EXPECT_TRUE(sheet.ready());
}

} // namespace
