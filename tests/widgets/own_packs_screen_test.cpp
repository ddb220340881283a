// The person's own packs in the window: saved, renamed, shared, dropped back in, deleted and
// brought back; a hostile pack file refused with its sentence.
#include "app/atomic_write.h"
#include "media/media_error.h"
#include "packs/collection_view.h"
#include "packs/own_packs.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "studio/studio_view.h"
#include "support/model_home.h"
#include "window/root_view.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

class OwnPacksWindow : public ::testing::Test {
protected:
    void SetUp() override {
        m_home.settings().setInteger(Settings::tutorialVersion, 1);
        m_root.resize(1180, 760);
        m_root.show();
        m_root.setMode(StudioMode::cards);
        ASSERT_TRUE(waitUntil([&] { return m_model.images().size() == 6; }));
    }
    void TearDown() override { waitForWork(); }

    // Types `name` into the open name sheet and presses Enter (Escape with `cancel`).
    void answer(const QString& name, bool cancel = false) {
        QPointer<PackNameDialog> dialog = m_root.packsView()->ownPacks().nameDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->field()->selectAll();
        QTest::keyClicks(dialog->field(), name);
        QTest::keyClick(dialog->field(), cancel ? Qt::Key_Escape : Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return idle() && !dialog; }));
    }
    void drop(const QString& file, QWidget* target) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QDragEnterEvent enter({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        ASSERT_TRUE(waitUntil([&] { return idle(); }));
    }
    bool idle() const { return !m_model.busy() && !m_model.library().busy(); }
    StudioCollectionView* collection() {
        m_root.showCollection();
        return static_cast<StudioCollectionView*>(m_root.collectionSheet());
    }
    QString notice() const {
        const PackNotice* notice = m_root.packsView()->notice();
        return notice->isVisible() ? notice->label()->text() : QString();
    }

    ModelHome m_home;
    QTemporaryDir m_files;
    StudioRootView m_root{m_home.settings()};
    PacksModel& m_model = m_root.packs();
};

} // namespace

TEST_F(OwnPacksWindow, SavedRenamedDeletedAndBroughtBack) {
    auto* menu = m_root.packsView()->optionsButton()->findChild<QMenu*>();
    menu->findChild<QAction*>(QStringLiteral("savePack"))->trigger();
    const PackNameDialog* nameSheet = m_root.packsView()->ownPacks().nameDialog();
    menu->findChild<QAction*>(QStringLiteral("savePack"))->trigger();
    EXPECT_EQ(m_root.packsView()->ownPacks().nameDialog(), nameSheet) << "one name sheet at a time";
    EXPECT_EQ(m_root.packsView()->ownPacks().nameDialog()->name(),
              m_model.pack()->name + QStringLiteral(" – mój zestaw"));
    answer(QStringLiteral("Wakacje"));
    ASSERT_EQ(m_model.ownPacks().size(), 1u);
    const QString id = m_model.ownPacks().front().id;
    EXPECT_EQ(m_model.selectedID(), id);
    EXPECT_EQ(notice(), QStringLiteral("Zapisano zestaw „Wakacje” w Moich zestawach."));

    // "Moje zestawy" first, then the starter packs; the saved pack is the one shown.
    StudioCollectionView* sheet = collection();
    QComboBox* picker = sheet->picker();
    EXPECT_EQ(picker->itemText(0), QStringLiteral("Moje zestawy"));
    EXPECT_EQ(picker->itemData(1).toString(), id);
    EXPECT_EQ(picker->itemText(2), QStringLiteral("Zestawy startowe"));
    EXPECT_EQ(picker->count(), 3 + int(m_model.packs().size()));
    EXPECT_EQ(picker->currentIndex(), 1);
    EXPECT_TRUE(sheet->renameButton()->isVisible());
    m_model.selectPack(QStringLiteral("party")); // chosen meanwhile: the sheet follows
    EXPECT_EQ(picker->currentData().toString(), QStringLiteral("party"));
    m_model.selectPack(id);

    // Escape keeps the name; Enter renames.
    QTest::mouseClick(sheet->renameButton(), Qt::LeftButton);
    answer(QStringLiteral("Nie"), true);
    QTest::mouseClick(sheet->renameButton(), Qt::LeftButton);
    answer(QStringLiteral("Lato"));
    EXPECT_EQ(picker->itemText(1), QStringLiteral("Lato"));

    // Deleted from the collection, and "Cofnij" brings it back.
    QTest::mouseClick(sheet->deleteButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_TRUE(m_model.ownPacks().empty());
    EXPECT_NE(picker->currentData().toString(), id);
    EXPECT_FALSE(sheet->deleteButton()->isVisible());
    EXPECT_EQ(notice(), QStringLiteral("Zestaw „Lato” przeniesiono do folderu „Usunięte "
                                       "zestawy”. Można go stamtąd przywrócić."));
    QPushButton* undo = m_root.packsView()->notice()->undoButton();
    ASSERT_TRUE(undo->isVisible());
    QTest::mouseClick(undo, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    ASSERT_EQ(m_model.ownPacks().size(), 1u);
    EXPECT_EQ(m_model.ownPacks().front().content.name, QStringLiteral("Lato"));
    EXPECT_EQ(picker->currentData().toString(), m_model.ownPacks().front().id);
    EXPECT_EQ(notice(), QStringLiteral("Przywrócono zestaw „Lato”."));
    EXPECT_FALSE(undo->isVisible());
    // Nothing more to bring back: a second "Cofnij" does nothing.
    m_root.packsView()->ownPacks().undo();
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_TRUE(m_model.error().isEmpty()) << m_model.error().toStdString();
}

TEST_F(OwnPacksWindow, SharedDroppedBackInAndAHostileFileRefused) {
    PackContent content = m_model.content(m_model.selectedID());
    content.name = QStringLiteral("Wakacje");
    m_model.library().save(content, {});
    ASSERT_TRUE(waitUntil([&] { return m_model.ownPacks().size() == 1 && idle(); }));
    m_model.selectPack(m_model.ownPacks().front().id);
    QString offered;
    const QString file = m_files.filePath(QStringLiteral("Wakacje.tovipack"));
    m_root.packsView()->ownPacks().setShareChooser([&](QWidget*, const QString& name) {
        offered = name;
        return file;
    });
    auto* menu = m_root.packsView()->optionsButton()->findChild<QMenu*>();
    menu->findChild<QAction*>(QStringLiteral("sharePack"))->trigger();
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_EQ(offered, QStringLiteral("Wakacje.tovipack"));
    ASSERT_TRUE(QFileInfo::exists(file));

    // Dropped on the collection over the graphic screen: the sheet closes, the window turns to
    // the cards and shows the new pack.
    m_root.setMode(StudioMode::artwork);
    drop(file, collection());
    ASSERT_TRUE(waitUntil([&] { return !m_root.collectionSheet(); }, 5000));
    EXPECT_EQ(m_root.mode(), StudioMode::cards);
    ASSERT_EQ(m_model.ownPacks().size(), 2u);
    ASSERT_NE(m_model.pack(), nullptr);
    EXPECT_EQ(m_model.pack()->name, QStringLiteral("Wakacje (2)"));
    EXPECT_EQ(notice(),
              OwnPackLibrary::text(OwnPackLibrary::Imported{{}, QStringLiteral("Wakacje (2)")}));
    EXPECT_EQ(collection()->picker()->currentText(), QStringLiteral("Wakacje (2)"));
    m_root.collectionSheet()->close();

    // The same file with an entry that climbs out of its folder.
    QByteArray bytes = readFile(file);
    bytes.replace("pack.json", "../x.json");
    const QString hostile = m_files.filePath(QStringLiteral("zły.tovipack"));
    atomicWrite(hostile, bytes);
    const QStringList before = QDir(OwnPackStore::folder()).entryList(QDir::AllEntries);
    drop(hostile, m_root.studioView());
    ASSERT_TRUE(waitUntil([&] { return m_root.packsView()->alert() != nullptr; }));
    EXPECT_EQ(m_root.packsView()->alert()->text(),
              OwnPackError(OwnPackError::unsafeName, QStringLiteral("../x.json")).message());
    EXPECT_TRUE(notice().isEmpty());
    EXPECT_EQ(m_model.ownPacks().size(), 2u);
    EXPECT_EQ(QDir(OwnPackStore::folder()).entryList(QDir::AllEntries), before);
}

TEST_F(OwnPacksWindow, ADamagedPackIsShownGreyedWithWhatIsWrongAndCanBeTakenAway) {
    PackContent content = m_model.content(m_model.selectedID());
    content.name = QStringLiteral("Wakacje");
    const QString id = OwnPackStore::save(content, {}).id;
    QFile::remove(OwnPackStore::folder() + QLatin1Char('/') + id + QStringLiteral("/pack.json"));
    m_model.library().open(m_model.packs());
    StudioCollectionView* sheet = collection();
    QComboBox* picker = sheet->picker();
    const int index = picker->findData(id);
    ASSERT_EQ(index, 1);
    EXPECT_EQ(picker->itemText(index), QStringLiteral("Zestaw bez nazwy (uszkodzony)"));
    EXPECT_EQ(picker->itemData(index, Qt::ForegroundRole).value<QColor>(),
              picker->palette().color(QPalette::Disabled, QPalette::Text));
    picker->setCurrentIndex(index);
    bool told = false;
    for (const QLabel* label : sheet->findChildren<QLabel*>())
        told = told || (label->isVisible() &&
                        label->text().contains(QStringLiteral("brak pliku pack.json")));
    EXPECT_TRUE(told);
    EXPECT_FALSE(sheet->renameButton()->isVisible());
    ASSERT_TRUE(sheet->deleteButton()->isVisible());
    EXPECT_TRUE(sheet->cardButtons().empty());
    const QString selected = m_model.selectedID();
    sheet->finish(); // nothing to take: "Gotowe" only closes
    EXPECT_EQ(m_model.selectedID(), selected);
    ASSERT_TRUE(waitUntil([&] { return !m_root.collectionSheet(); }));
    (sheet = collection())->picker()->setCurrentIndex(index);
    picker = sheet->picker();
    QTest::mouseClick(sheet->deleteButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return idle() && m_model.library().damaged().empty(); }));
    EXPECT_EQ(picker->findData(id), -1);
    EXPECT_FALSE(m_root.packsView()->notice()->undoButton()->isVisible());
}

TEST_F(OwnPacksWindow, ACardThatCannotBeReadIsToldNotSaved) {
    m_model.update(
        [](PackCardEdit& edit) { edit.customImage = QStringLiteral("../elsewhere.png"); });
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    m_model.clearError();
    auto* menu = m_root.packsView()->optionsButton()->findChild<QMenu*>();
    menu->findChild<QAction*>(QStringLiteral("savePack"))->trigger();
    answer(QStringLiteral("Wakacje"));
    EXPECT_EQ(m_model.error(), MediaError(MediaError::unreadable).message());
    EXPECT_TRUE(m_model.ownPacks().empty());
    EXPECT_FALSE(m_root.packsView()->ownPacks().working());
}
