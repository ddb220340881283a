#include "app/settings.h"
#include "packs/collection_view.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/editor_workspace.h"
#include "shell/send_bar.h"
#include "shell/tool_bubble.h"
#include "support/device_fixtures.h"
#include "support/model_home.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

struct Chosen {
    QString pack;
    int slot = -1;
    // What the sheet calls with the card taken.
    auto taker() {
        return [this](const StarterPack& chosen, int card) { *this = {chosen.id, card}; };
    }
};

TEST(Collection, ArtworkModePicksOneCard) {
    ModelHome home;
    PacksModel model(home.settings());
    Chosen chosen;
    StudioCollectionView view(model.packs(), StudioMode::artwork, chosen.taker(),
                              QStringLiteral("party"));
    view.show();
    EXPECT_EQ(view.pack()->id, QStringLiteral("party"));
    EXPECT_EQ(view.picker()->currentData().toString(), QStringLiteral("party"));
    EXPECT_EQ(view.wholeSetButton(), nullptr);
    const auto labels = view.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->text() ==
               QStringLiteral("Wybierz jedną grafikę i dopasuj ją do swojego ekranu.");
    }));
    ASSERT_EQ(view.cardButtons().size(), 6u);
    EXPECT_EQ(view.cardButtons()[2]->accessibleName(), view.pack()->cards[2][0]);
    QTest::mouseClick(view.cardButtons()[2], Qt::LeftButton);
    EXPECT_EQ(chosen.pack, QStringLiteral("party"));
    EXPECT_EQ(chosen.slot, 2);

    // Another pack in the picker: its own six cards, their pictures arriving in the background.
    view.picker()->setCurrentIndex(view.picker()->findData(QStringLiteral("weather")));
    EXPECT_EQ(view.pack()->id, QStringLiteral("weather"));
    QTest::mouseClick(view.cardButtons()[5], Qt::LeftButton);
    EXPECT_EQ(chosen.pack, QStringLiteral("weather"));
    EXPECT_EQ(chosen.slot, 5);
    // The picker is heard by its name, then the pack; its list is its child, a press opens it.
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(view.picker());
    EXPECT_EQ(box->text(QAccessible::Name), "Kolekcja: " + view.picker()->currentText());
    EXPECT_EQ(box->text(QAccessible::Value), view.picker()->currentText());
    EXPECT_EQ(box->childCount(), 1);
    EXPECT_TRUE(box->state().focusable && box->state().expandable && box->state().collapsed);
    QAccessibleActionInterface* actions = box->actionInterface();
    EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::setFocusAction());
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(view.focusWidget() == view.picker() && view.picker()->view()->isVisible());
    view.findChild<QPushButton*>(QStringLiteral("done"))->click(); // a graphic is no pack
    EXPECT_EQ(chosen.slot, 5);
    ASSERT_TRUE(waitUntil([&] {
        const auto thumbnails = view.findChildren<PackThumbnail*>();
        return std::all_of(thumbnails.begin(), thumbnails.end(),
                           [](PackThumbnail* thumbnail) { return thumbnail->loaded(); });
    }));
}

TEST(Collection, CardsModeOffersTheWholeSetAndAnEmptyCollectionOnlyThePicker) {
    ModelHome home;
    PacksModel model(home.settings());
    Chosen chosen;
    StudioCollectionView view(model.packs(), StudioMode::cards, chosen.taker(),
                              QStringLiteral("none"));
    view.show();
    EXPECT_EQ(view.pack()->id, model.packs().front().id); // an unknown id shows the first
    ASSERT_NE(view.wholeSetButton(), nullptr);
    EXPECT_EQ(view.size(), QSize(780, 660));
    // In sight under the scrolling cards, on a screen too small for the sheet.
    QWidget* wholeSet = view.wholeSetButton();
    view.setFixedSize(780, 480);
    QApplication::processEvents();
    ASSERT_GT(view.findChild<QScrollArea*>()->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(view.rect().contains(QRect(wholeSet->mapTo(&view, QPoint()), wholeSet->size())));
    EXPECT_FALSE(view.findChild<QScrollArea*>()->isAncestorOf(wholeSet));
    QTest::mouseClick(wholeSet, Qt::LeftButton);
    EXPECT_EQ(chosen.pack, model.packs().front().id);
    EXPECT_EQ(chosen.slot, 0);

    // "Gotowe" takes another pack picked in the list as the button does; the screen's own stays.
    view.selectPack(QStringLiteral("party"));
    view.findChild<QPushButton*>(QStringLiteral("done"))->click();
    EXPECT_EQ(chosen.pack, QStringLiteral("party"));
    EXPECT_EQ(chosen.slot, 0);
    EXPECT_FALSE(view.isVisible());
    StudioCollectionView own(
        model.packs(), StudioMode::cards, [&](const StarterPack&, int) { chosen = {}; },
        QStringLiteral("party"));
    own.show();
    own.findChild<QPushButton*>(QStringLiteral("done"))->click();
    EXPECT_EQ(chosen.pack, QStringLiteral("party")) << "nothing chosen";
    EXPECT_FALSE(own.isVisible());

    StudioCollectionView empty({}, StudioMode::cards, [](const StarterPack&, int) {}, {});
    empty.show();
    EXPECT_EQ(empty.pack(), nullptr);
    EXPECT_TRUE(empty.cardButtons().empty());
    EXPECT_FALSE(empty.wholeSetButton()->isVisible());
    EXPECT_TRUE(empty.picker()->isVisible());
    waitForWork();
}

class PacksScreen : public ::testing::Test {
protected:
    void SetUp() override {
        m_model = std::make_unique<PacksModel>(m_home.settings());
        m_view = std::make_unique<PacksView>(*m_model, m_home.settings(), [] {});
        m_view->resize(1180, 800);
        m_view->show();
        ASSERT_TRUE(waitUntil([&] { return m_model->images().size() == 6; }));
    }
    void TearDown() override {
        m_view.reset();
        waitForWork();
        m_model.reset();
    }
    QString picture() {
        return savePicture(m_dir.filePath(QStringLiteral("mine.png")), {1200, 900}, Qt::magenta);
    }

    ModelHome m_home;
    QTemporaryDir m_dir;
    std::unique_ptr<PacksModel> m_model;
    std::unique_ptr<PacksView> m_view;
};

TEST_F(PacksScreen, TheStripChoosesCardsButNotWhileBusy) {
    EXPECT_EQ(m_view->cardButton(3)->accessibleName(), QStringLiteral("Karta 4"));
    EXPECT_TRUE(m_view->cardButton(0)->isChecked());
    QTest::mouseClick(m_view->cardButton(3), Qt::LeftButton);
    EXPECT_EQ(m_model->slot(), 3);
    EXPECT_TRUE(m_view->cardButton(3)->isChecked());
    EXPECT_EQ(m_view->preview()->image(), m_model->images().at(3));

    m_model->importImage(QUrl::fromLocalFile(picture()));
    ASSERT_TRUE(m_model->busy());
    EXPECT_FALSE(m_view->cardButton(1)->isEnabled());
    EXPECT_FALSE(m_view->sendBar()->button()->isEnabled());
    EXPECT_FALSE(m_view->preview()->pointerView()->interactionEnabled());
    m_view->preview()->pointerView()->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    m_model->selectCard(1);
    EXPECT_EQ(m_model->slot(), 3);
    ASSERT_TRUE(waitUntil([&] { return !m_model->busy(); }));
    EXPECT_TRUE(m_view->cardButton(1)->isEnabled());
    EXPECT_TRUE(m_model->edit().customImage.has_value());
}

TEST_F(PacksScreen, PicturesDroppedOnACardOrTheDeviceBecomeThatCardsPicture) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(picture())});
    const auto drop = [&](QWidget* target) {
        const QPoint at = target->mapTo(m_view.get(), target->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &dropped);
        ASSERT_TRUE(waitUntil([&] { return !m_model->busy(); }));
    };
    drop(m_view->cardButton(4));
    EXPECT_EQ(m_model->slot(), 4);
    EXPECT_TRUE(m_model->edit().customImage.has_value());
    m_model->selectCard(1);
    drop(m_view->preview());
    EXPECT_EQ(m_model->slot(), 1);
    EXPECT_TRUE(m_model->edit().customImage.has_value());
}

TEST_F(PacksScreen, TheAnimationPlaysOnlyWhileItsToolIsOpen) {
    m_model->setAnimation(PackReveal::still);
    m_view->workspace()->setSelected(EditorTool::animation);
    EXPECT_FALSE(m_view->preview()->ticking());
    auto* picker = m_view->workspace()->bubble()->findChild<SegmentedControl*>(
        QStringLiteral("animationPicker"));
    ASSERT_NE(picker, nullptr);
    QTest::mouseClick(picker->segment(1), Qt::LeftButton); // spin
    EXPECT_EQ(m_model->animation(), PackReveal::spin);
    EXPECT_TRUE(m_view->preview()->ticking());
    EXPECT_TRUE(m_view->preview()->animation().rotating);
    EXPECT_EQ(m_view->preview()->animation().rotationSeconds, 4);
    QTest::mouseClick(picker->segment(0), Qt::LeftButton); // reveal
    EXPECT_TRUE(m_view->preview()->animation().revealing);
    m_view->workspace()->setSelected(EditorTool::crop);
    EXPECT_FALSE(m_view->preview()->ticking());
}

TEST_F(PacksScreen, CaptionsAreStoredAsTyped) {
    m_view->workspace()->setSelected(EditorTool::caption);
    QLineEdit* title = nullptr;
    for (auto* field : m_view->workspace()->bubble()->findChildren<QLineEdit*>())
        if (field->accessibleName() == QStringLiteral("Tytuł karty"))
            title = field;
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), m_model->pack()->cards[0][0]);
    title->selectAll();
    title->insert(QStringLiteral("Mój")); // typed: every change is stored
    EXPECT_EQ(m_model->edit().title, QStringLiteral("Mój"));
    EXPECT_EQ(m_model->edits().at(m_model->key()).title, QStringLiteral("Mój"));
    // Typed into an empty line with the captions off, they come on: the text is meant to show.
    m_model->update([](PackCardEdit& edit) { edit = {}; });
    QTest::keyClicks(title, QStringLiteral("Tak"));
    EXPECT_TRUE(m_model->edit().captions);
    auto* meaning = m_view->workspace()->bubble()->findChild<QLabel*>(QStringLiteral("meaning"));
    ASSERT_NE(meaning, nullptr);
    EXPECT_EQ(meaning->text(), m_model->pack()->meanings[0]);
}

TEST(PacksOptions, TheLastBackupIsOfferedOnlyWhenThereIsOne) {
    ModelHome home;
    QTemporaryDir backup;
    for (const bool withBackup : {false, true}) {
        if (withBackup)
            home.settings().setString(Settings::packsLastBackup, backup.path());
        PacksModel model(home.settings());
        PacksView view(model, home.settings(), [] {});
        QString opened;
        view.setFolderOpener([&](const QString& folder) { opened = folder; });
        auto* menu = view.optionsButton()->findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(view.optionsButton()->accessibleName(), QStringLiteral("Opcje zestawów"));
        emit menu->aboutToShow();
        QAction* show = menu->findChild<QAction*>(QStringLiteral("showBackup"));
        ASSERT_NE(show, nullptr);
        EXPECT_EQ(show->isVisible(), withBackup);
        EXPECT_FALSE(menu->findChild<QAction*>(QStringLiteral("deletePack"))->isVisible());
        if (withBackup) {
            show->trigger();
            EXPECT_EQ(opened, backup.path());
        }
        waitForWork();
    }
}

} // namespace
