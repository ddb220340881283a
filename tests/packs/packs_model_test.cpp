#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/settings.h"
#include "app/working_folder.h"
#include "device/bookmark.h"
#include "device/game1_installer.h"
#include "device/pack_error.h"
#include "media/media_error.h"
#include "packs/pack_renderer.h"
#include "packs/packs_model.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/model_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

class Packs : public ::testing::Test {
protected:
    // Waits for the start-up (or any) rendering to publish six previews.
    static void rendered(PacksModel& model) {
        ASSERT_TRUE(waitUntil([&] { return model.images().size() == 6; }));
    }
    static void settled(PacksModel& model) {
        ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
    }
    static void prepared(PacksModel& model, bool toDevice, bool factory) {
        model.prepare(toDevice, factory);
        settled(model);
    }
    static void imported(PacksModel& model, const QString& file) {
        model.importImage(QUrl::fromLocalFile(file));
        settled(model);
    }
    QString picture(const QString& name, QColor colour, QSize size = {800, 600}) {
        return savePicture(m_user.filePath(name), size, colour);
    }
    QStringList storedPictures() const {
        return QDir(m_home.packs())
            .entryList(QDir::Files, QDir::Name)
            .filter(QRegularExpression(QStringLiteral("^[0-9A-F-]{36}")));
    }
    PackEdits storedEdits() const {
        return decodeEdits(readFile(m_home.packs() + QStringLiteral("/edits.json")));
    }
    // The preview a slot of `pack` shows with its default edit.
    static QImage defaultPreview(const StarterPack& pack, int slot) {
        return PackRenderer::image(
            PackRenderer::original(pack.artwork(slot, ResourceBundle::main())),
            PackCardEdit::defaults(&pack, slot), slot, 600);
    }

    ModelHome m_home;
    QTemporaryDir m_user;
};

TEST_F(Packs, FirstLaunchSelectsTheFirstPackAndRendersItsSixCards) {
    PacksModel model(m_home.settings());
    ASSERT_EQ(model.packs().size(), 10u);
    EXPECT_TRUE(model.error().isEmpty());
    ASSERT_TRUE(model.pack());
    EXPECT_EQ(model.selectedID(), model.packs().front().id);
    EXPECT_EQ(model.slot(), 0);
    EXPECT_EQ(model.key(), model.packs().front().id + QStringLiteral("/0"));
    const PackCardEdit edit = model.edit();
    EXPECT_EQ(edit.title, model.pack()->cards[0][0]);
    EXPECT_EQ(edit.subtitle, model.pack()->cards[0][1]);
    EXPECT_FALSE(edit.captions);
    EXPECT_FALSE(edit.customImage);
    rendered(model);
    for (const auto& [slot, image] : model.images())
        EXPECT_EQ(image.size(), QSize(600, 600)) << slot;
    EXPECT_EQ(model.preview(), defaultPreview(*model.pack(), 0));
}

TEST_F(Packs, AModelThatGoesAwayMidWorkIsLeftAlone) {
    {
        PacksModel model(m_home.settings()); // its first rendering is under way
    }
    {
        PacksModel model(m_home.settings());
        model.prepare(false, false);
    }
    waitForWork();
    spin(50);
}

TEST_F(Packs, StartUpRestoresTheSelectionOnlyWhenItStillExists) {
    m_home.settings().setString(Settings::packsSelected, QStringLiteral("weather"));
    {
        PacksModel model(m_home.settings());
        EXPECT_EQ(model.selectedID(), QStringLiteral("weather"));
        model.selectPack(QStringLiteral("party"));
        EXPECT_EQ(m_home.settings().string(Settings::packsSelected), QStringLiteral("party"));
        model.selectPack(QStringLiteral("no-such-pack"));
        EXPECT_EQ(model.selectedID(), QStringLiteral("party"));
    }
    m_home.settings().setString(Settings::packsSelected, QStringLiteral("gone"));
    PacksModel model(m_home.settings());
    EXPECT_EQ(model.selectedID(), model.packs().front().id);
}

TEST_F(Packs, EditsAreCutStoredAndRedrawnWithoutDecoding) {
    PacksModel model(m_home.settings());
    rendered(model);
    model.selectCard(6);
    model.selectCard(-1);
    EXPECT_EQ(model.slot(), 0);
    model.selectCard(2);
    QSignalSpy images(&model, &PacksModel::imagesChanged);

    model.update([](PackCardEdit& edit) {
        edit.title = QString(45, QLatin1Char('a'));
        edit.subtitle = QString(71, QLatin1Char('b'));
        edit.captions = true;
    });
    // Redrawn here and now from the decoded picture.
    EXPECT_EQ(images.count(), 1);
    EXPECT_EQ(model.edit().title, QString(40, QLatin1Char('a')));
    EXPECT_EQ(model.edit().subtitle, QString(70, QLatin1Char('b')));
    EXPECT_EQ(storedEdits(), model.edits());
    EXPECT_EQ(model.preview(), PackRenderer::image(PackRenderer::original(model.pack()->artwork(
                                                       2, ResourceBundle::main())),
                                                   model.edit(), 2, 600));

    // Characters as a person counts them: a letter with a combining accent is one.
    const QString accented = QStringLiteral("e\u0301");
    model.update([&](PackCardEdit& edit) { edit.title = accented.repeated(41); });
    EXPECT_EQ(model.edit().title, accented.repeated(40));

    // Gestures go through the same path.
    model.zoom(10, false);
    EXPECT_NEAR(model.edit().crop.zoom, std::exp(0.6), 1e-12);
    model.pan(-20, 0, 300);
    EXPECT_GT(model.edit().crop.x, 0);
    model.magnify(std::nan(""));
    EXPECT_NEAR(model.edit().crop.zoom, std::exp(0.6), 1e-12);
    EXPECT_EQ(storedEdits(), model.edits());

    // A new run finds them again.
    const auto settings = m_home.reopenSettings();
    PacksModel again(*settings);
    EXPECT_EQ(again.edits(), model.edits());
}

TEST_F(Packs, ImportingAPictureReplacesTheCardsSourceAndTheOldPicture) {
    PacksModel model(m_home.settings());
    rendered(model);
    model.selectCard(3);
    model.update([](PackCardEdit& edit) {
        edit.title = QStringLiteral("Moja");
        edit.captions = true;
        edit.crop = {2, 0.5, -0.5};
    });

    imported(model, m_user.filePath(QStringLiteral("missing.png")));
    EXPECT_FALSE(model.error().isEmpty());
    const QString notAPicture = m_user.filePath(QStringLiteral("notes.jpg"));
    writeFile(notAPicture, "just text");
    imported(model, notAPicture);
    EXPECT_EQ(model.error(), MediaError(MediaError::unreadable).message());
    EXPECT_TRUE(storedPictures().isEmpty());

    const QString red = picture(QStringLiteral("red.png"), Qt::red);
    model.importImage(QUrl::fromLocalFile(red));
    EXPECT_TRUE(model.busy());
    settled(model);
    EXPECT_TRUE(model.error().isEmpty());
    const PackCardEdit edit = model.edit();
    ASSERT_TRUE(edit.customImage);
    EXPECT_TRUE(edit.customImage->contains(QRegularExpression(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$"))));
    EXPECT_EQ(edit.title, QStringLiteral("Moja"));
    EXPECT_TRUE(edit.captions);
    EXPECT_EQ(edit.crop, CropSettings{});
    EXPECT_EQ(readFile(m_home.packs() + QLatin1Char('/') + *edit.customImage), readFile(red));
    EXPECT_EQ(storedEdits(), model.edits());
    ASSERT_TRUE(waitUntil([&] { return qRed(model.preview().pixel(300, 100)) > 200; }));

    // A second picture replaces the first, which is deleted.
    imported(model, picture(QStringLiteral("blue.jpg"), Qt::blue));
    const QStringList pictures = storedPictures();
    ASSERT_EQ(pictures.size(), 1);
    EXPECT_EQ(pictures[0], *model.edit().customImage);

    // Reset brings the pack's card back and deletes the picture.
    model.resetCard();
    EXPECT_EQ(model.edit(), PackCardEdit::defaults(model.pack(), 3));
    EXPECT_TRUE(storedPictures().isEmpty());
    EXPECT_EQ(model.edits().count(model.key()), 0u);
    rendered(model);
    ASSERT_TRUE(waitUntil([&] { return model.preview() == defaultPreview(*model.pack(), 3); }));
}

TEST_F(Packs, OnlyTheNewestRenderingPublishes) {
    PacksModel model(m_home.settings());
    rendered(model);
    QSignalSpy images(&model, &PacksModel::imagesChanged);
    model.selectPack(QStringLiteral("party"));
    model.selectPack(QStringLiteral("evening"));
    EXPECT_EQ(model.slot(), 0);
    ASSERT_TRUE(waitUntil([&] { return images.count() > 0; }));
    waitForWork();
    spin(50);
    EXPECT_EQ(images.count(), 1);
    EXPECT_EQ(model.images().at(5), defaultPreview(*model.pack(), 5));

    // An edit drawn at once while a rendering is under way: the card shows the edit, and the
    // other five still end up showing the new pack, not the previous one.
    model.selectPack(QStringLiteral("walk"));
    ASSERT_TRUE(waitUntil([&] { return images.count() == 2; }));
    model.selectPack(QStringLiteral("evening"));
    model.update([](PackCardEdit& edit) { edit.captions = true; });
    const QImage drawn = model.preview();
    waitForWork();
    spin(50);
    EXPECT_EQ(model.preview(), drawn);
    for (int slot = 1; slot < 6; ++slot)
        EXPECT_EQ(model.images().at(slot), defaultPreview(*model.pack(), slot)) << slot;
}

TEST_F(Packs, RandomCardSaysWhichCardWasDrawn) {
    PacksModel model(m_home.settings());
    for (int i = 0; i < 20; ++i) {
        model.randomCard();
        EXPECT_EQ(model.message(), QStringLiteral("Podgląd losowania: ") + model.edit().title +
                                       QStringLiteral(". Powtórzenia są możliwe."));
    }
    model.update([](PackCardEdit& edit) { edit.title.clear(); });
    const int slot = model.slot();
    int draws = 0;
    do
        model.randomCard();
    while (model.slot() != slot && ++draws < 500);
    if (model.slot() == slot) {
        EXPECT_EQ(model.message(), QStringLiteral("Podgląd losowania: . Powtórzenia są możliwe."));
    }
}

TEST_F(Packs, AnUnreadableEditsFileStopsStartUpAndIsKeptAside) {
    makeFolder(m_home.packs());
    const QByteArray broken = "{\"listening/0\": {\"title\": 5}}";
    writeFile(m_home.packs() + QStringLiteral("/edits.json"), broken);
    PacksModel model(m_home.settings());
    EXPECT_FALSE(model.error().isEmpty());
    EXPECT_EQ(model.packs().size(), 10u);
    EXPECT_EQ(model.selectedID(), QStringLiteral("albums"));
    EXPECT_FALSE(model.pack());
    spin(50);
    EXPECT_TRUE(model.images().empty());

    model.selectPack(QStringLiteral("party"));
    model.update([](PackCardEdit& edit) { edit.title = QStringLiteral("Nowa"); });
    const QStringList aside =
        QDir(m_home.packs()).entryList({QStringLiteral("edits.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(m_home.packs() + QLatin1Char('/') + aside[0]), broken);
    EXPECT_EQ(storedEdits().at(QStringLiteral("party/0")).title, QStringLiteral("Nowa"));
}

TEST_F(Packs, AStoredPictureNameNeverReachesOutsideTheStorageFolder) {
    const QString outside = WorkingFolder::path() + QStringLiteral("/keep.png");
    QImage(10, 10, QImage::Format_RGB32).save(outside);
    makeFolder(m_home.packs());
    PackEdits edits;
    edits[QStringLiteral("listening/0")] = {QStringLiteral("T"), QStringLiteral("S"), false,
                                            QStringLiteral("../keep.png"), CropSettings{}};
    writeFile(m_home.packs() + QStringLiteral("/edits.json"), encodeEdits(edits));
    m_home.settings().setString(Settings::packsSelected, QStringLiteral("listening"));

    PacksModel model(m_home.settings());
    EXPECT_EQ(model.error(), MediaError(MediaError::unreadable).message());
    model.prepare(false, false);
    EXPECT_FALSE(model.busy());
    imported(model, picture(QStringLiteral("new.png"), Qt::green));
    EXPECT_TRUE(QFileInfo::exists(outside));
    model.resetCard();
    EXPECT_TRUE(QFileInfo::exists(outside));
    rendered(model);
}

TEST_F(Packs, PreparingWritesSixValidCardsToAFreshExportFolder) {
    PacksModel model(m_home.settings());
    model.setAnimation(PackReveal::spin);
    model.prepare(false, false);
    EXPECT_EQ(model.message(), QStringLiteral("Przygotowuję sześć GIF-ów…"));
    settled(model);
    ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(model.message(),
              QStringLiteral("Gotowe: 1.gif–6.gif. Udostępnij pliki albo wgraj zestaw na Tovi."));
    ASSERT_EQ(model.exported().size(), 6);
    const QString folder = QFileInfo(model.exported()[0]).path();
    EXPECT_TRUE(QFileInfo(folder).fileName().contains(
        QRegularExpression(QStringLiteral("^listening-[0-9A-F]{8}$"))));
    EXPECT_EQ(QFileInfo(folder).path(), m_home.packs() + QStringLiteral("/Exports"));
    Game1Installer::Files files;
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(model.exported()[n - 1], folder + QStringLiteral("/%1.gif").arg(n));
        files[QStringLiteral("%1.gif").arg(n)] = readFile(model.exported()[n - 1]);
    }
    EXPECT_NO_THROW(Game1Installer::validate(files));
    EXPECT_TRUE(model.lastBackup().isEmpty());

    // Stale as soon as the animation changes.
    model.setAnimation(PackReveal::still);
    EXPECT_TRUE(model.exported().isEmpty());

    // Without a destination the cards are still prepared, then the folder is asked for.
    prepared(model, true, false);
    EXPECT_EQ(model.error(), PackError(PackError::folder).message());
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_EQ(QDir(m_home.packs() + QStringLiteral("/Exports"))
                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                  .size(),
              2);
}

TEST_F(Packs, InstallsTheOwnSetAndRestoresTheFactorySetWithBackups) {
    const QString root = m_user.filePath(QStringLiteral("NO NAME"));
    const Game1Installer::Files before = cardSet(7);
    makeDevice(root, before);
    PacksModel model(m_home.settings());

    model.chooseDestination(root + QStringLiteral("/Game2"));
    EXPECT_EQ(model.error(), PackError(PackError::folder).message());
    EXPECT_FALSE(m_home.settings().contains(Settings::packsDestination));
    model.clearError();

    model.chooseDestination(root);
    EXPECT_EQ(model.message(), QStringLiteral("Wybrano folder. Sześć plików zostanie podmienionych "
                                              "dopiero po wybraniu Wgraj zestaw."));
    EXPECT_EQ(model.destination(), root);
    EXPECT_TRUE(m_home.settings().contains(Settings::rootPermission));
    EXPECT_EQ(PacksModel(m_home.settings()).destination(), root) << "kept for the next run";

    // The export-only action never touches the device.
    prepared(model, false, false);
    EXPECT_EQ(tree(root + QStringLiteral("/Game1")).size(), 6u);
    EXPECT_EQ(readFile(root + QStringLiteral("/Game1/1.gif")), before.at(QStringLiteral("1.gif")));

    prepared(model, true, false);
    ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(model.message(),
              QStringLiteral("Wgrano sześć kart do Game1 i zweryfikowano zapis. Poprzedni zestaw "
                             "zachowano w kopii. Wysuń dysk i przełącz Tovi na DAC."));
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(readFile(root + QStringLiteral("/Game1/%1.gif").arg(n)),
                  readFile(model.exported()[n - 1]));
    const QString ownBackup = model.lastBackup();
    EXPECT_TRUE(ownBackup.startsWith(m_home.packs() + QStringLiteral("/Backups/Game1-")));
    EXPECT_EQ(readFile(ownBackup + QStringLiteral("/Game1/1.gif")),
              before.at(QStringLiteral("1.gif")));
    EXPECT_EQ(m_home.settings().string(Settings::packsLastBackup), ownBackup);

    // The factory set ignores the edits and the animation.
    model.update([](PackCardEdit& edit) { edit.captions = true; });
    prepared(model, true, true);
    ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(model.message(),
              QStringLiteral("Przywrócono fabryczną kostkę. Poprzedni zestaw "
                             "zachowano w kopii. Wysuń dysk i przełącz Tovi na DAC."));
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(readFile(root + QStringLiteral("/Game1/%1.gif").arg(n)),
                  readFile(ResourceBundle::main().folder() +
                           QStringLiteral("/original-game1-%1.gif").arg(n)));
    EXPECT_NE(model.lastBackup(), ownBackup);

    // A failed installation leaves the last backup as it was.
    const QString last = model.lastBackup();
    QDir(root + QStringLiteral("/Game1")).removeRecursively();
    prepared(model, true, false);
    EXPECT_EQ(model.error(), PackError(PackError::folder).message());
    EXPECT_EQ(model.lastBackup(), last);
    EXPECT_EQ(m_home.settings().string(Settings::packsLastBackup), last);

    // A new run finds the destination folder gone and the last backup still there.
    const auto settings = m_home.reopenSettings();
    PacksModel again(*settings);
    EXPECT_EQ(again.lastBackup(), last);
    QDir(last).removeRecursively();
    PacksModel third(*settings);
    EXPECT_TRUE(third.lastBackup().isEmpty());
}

TEST_F(Packs, StartUpDropsAStaleDestination) {
    const QString root = m_user.filePath(QStringLiteral("device"));
    makeDevice(root, cardSet(1));
    m_home.settings().setBytes(Settings::packsDestination, Bookmark::make(root));
    EXPECT_EQ(PacksModel(m_home.settings()).destination(), root);
    ASSERT_TRUE(QDir().rename(root, m_user.filePath(QStringLiteral("old"))));
    makeDevice(root, cardSet(1));
    EXPECT_TRUE(PacksModel(m_home.settings()).destination().isEmpty());
}

TEST_F(Packs, AMissingCollectionLeavesTheEditorEmpty) {
    QTemporaryDir empty;
    PacksModel model(m_home.settings(), ResourceBundle(empty.path()));
    EXPECT_EQ(model.error(), PackError(PackError::missingResource).message());
    EXPECT_TRUE(model.packs().empty());
    EXPECT_FALSE(model.pack());
    EXPECT_EQ(model.edit(), PackCardEdit::defaults(nullptr, 0));
    model.prepare(false, false);
    EXPECT_FALSE(model.busy());
}

TEST_F(Packs, FactoryRestoreOnARealFatVolumeThatStopsAnswering) {
    TOVI_FAT_VOLUME(volume, 4096);
    const Game1Installer::Files before = cardSet(3);
    makeDevice(volume.root(), before);
    PacksModel model(m_home.settings());
    model.setPatience(std::chrono::milliseconds(300));
    model.chooseDestination(volume.root() + QStringLiteral("/Game1"));
    ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();

    // The device hangs: every call on it waits. The window is told and may stop waiting.
    ASSERT_TRUE(volume.freeze(true));
    model.prepare(true, true);
    ASSERT_TRUE(waitUntil([&] { return model.stalled(); }, 20000));
    EXPECT_TRUE(model.busy());
    model.stopWaiting();
    EXPECT_FALSE(model.busy());
    EXPECT_FALSE(model.stalled());
    const QString prefix = QStringLiteral("Przestano czekać na Tovi.");
    ASSERT_TRUE(model.error().startsWith(prefix)) << model.error().toStdString();
    const QString abandoned = model.error().section(QStringLiteral(": "), -1);
    EXPECT_TRUE(abandoned.startsWith(m_home.packs() + QStringLiteral("/Backups/Game1-")))
        << abandoned.toStdString();

    // Once it answers again the abandoned installation stops before touching it and lets go of
    // Game1, unheard by the model, so the next one goes through.
    ASSERT_TRUE(volume.freeze(false));
    settle();
    ASSERT_TRUE(model.error().startsWith(prefix)) << model.error().toStdString();
    EXPECT_FALSE(QFileInfo::exists(abandoned));
    model.clearError();
    prepared(model, true, true);
    ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(readFile(volume.root() + QStringLiteral("/Game1/6.gif")),
              readFile(ResourceBundle::main().folder() + QStringLiteral("/original-game1-6.gif")));
    EXPECT_EQ(readFile(model.lastBackup() + QStringLiteral("/Game1/6.gif")),
              before.at(QStringLiteral("6.gif")));
    ASSERT_TRUE(volume.unmount());
    EXPECT_TRUE(volume.check().isEmpty()) << volume.check().toStdString();
}

// The application's resources without `missing`, in a folder of the test's own.
class PartialBundle {
public:
    explicit PartialBundle(const QStringList& missing) {
        const QDir source(ResourceBundle::main().folder());
        for (const QString& name : source.entryList(QDir::Files))
            if (!missing.contains(name))
                QFile::copy(source.filePath(name), m_dir.filePath(name));
    }
    ResourceBundle bundle() const { return ResourceBundle(m_dir.path()); }

private:
    QTemporaryDir m_dir;
};

TEST_F(Packs, MissingOrBrokenPicturesAreReportedAndChangeNothing) {
    const PartialBundle partial(
        {QStringLiteral("pack-listening-2.jpg"), QStringLiteral("original-game1-4.gif")});
    PacksModel model(m_home.settings(), partial.bundle());
    ASSERT_TRUE(waitUntil([&] { return !model.error().isEmpty(); }));
    EXPECT_EQ(model.error(), PackError(PackError::missingResource).message());
    EXPECT_TRUE(model.images().empty());
    // Without a decoded picture a drag does nothing at all.
    model.selectCard(1);
    model.pan(10, 10, 300);
    EXPECT_TRUE(model.edits().empty());

    // Sending needs every source picture; it never starts without them.
    model.clearError();
    model.prepare(false, false);
    EXPECT_FALSE(model.busy());
    EXPECT_EQ(model.error(), PackError(PackError::missingResource).message());

    // With its pictures complete the pack renders, but the factory set lacks a card.
    model.selectPack(QStringLiteral("party"));
    rendered(model);
    model.clearError();
    prepared(model, false, true);
    EXPECT_EQ(model.error(), PackError(PackError::missingResource).message());
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(m_home.packs() + QStringLiteral("/Exports")));

    // A stored custom picture that no longer decodes: the next run reports it.
    model.clearError();
    imported(model, picture(QStringLiteral("mine.png"), Qt::yellow));
    ASSERT_TRUE(model.error().isEmpty());
    writeFile(m_home.packs() + QLatin1Char('/') + *model.edit().customImage, "garbage");
    PacksModel again(m_home.settings(), partial.bundle());
    EXPECT_EQ(again.selectedID(), QStringLiteral("party"));
    ASSERT_TRUE(waitUntil([&] { return !again.error().isEmpty(); }));
    EXPECT_EQ(again.error(), MediaError(MediaError::unreadable).message());
    EXPECT_TRUE(again.images().empty());
}

TEST_F(Packs, FailedWritesKeepTheEditsAndLeaveNoStrayFiles) {
    PacksModel model(m_home.settings());
    rendered(model);
    // A folder where the edits file belongs: every write of it fails.
    makeFolder(m_home.packs() + QStringLiteral("/edits.json"));
    model.update([](PackCardEdit& edit) { edit.title = QStringLiteral("Nowy"); });
    EXPECT_FALSE(model.error().isEmpty());
    EXPECT_TRUE(model.edits().empty());
    EXPECT_EQ(model.edit().title, model.pack()->cards[0][0]);

    model.clearError();
    imported(model, picture(QStringLiteral("mine.png"), Qt::yellow));
    EXPECT_FALSE(model.error().isEmpty());
    EXPECT_TRUE(storedPictures().isEmpty());
    EXPECT_FALSE(model.edit().customImage);

    // A file where the exports folder belongs: the cards cannot be prepared.
    writeFile(m_home.packs() + QStringLiteral("/Exports"), "in the way");
    model.clearError();
    prepared(model, false, false);
    EXPECT_FALSE(model.error().isEmpty());
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_TRUE(model.exported().isEmpty());
}

} // namespace
