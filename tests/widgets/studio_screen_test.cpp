#include "app/settings.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "packs/starter_pack.h"
#include "shell/controls.h"
#include "shell/crop_controls.h"
#include "shell/crop_pointer_view.h"
#include "shell/device_preview.h"
#include "shell/double_slider.h"
#include "shell/editor_workspace.h"
#include "shell/material_panel.h"
#include "shell/photo_picker.h"
#include "shell/send_bar.h"
#include "shell/theme.h"
#include "shell/tool_bubble.h"
#include "shell/tool_buttons.h"
#include "studio/picture_row.h"
#include "studio/picture_strip.h"
#include "studio/row_summary.h"
#include "studio/studio_model.h"
#include "studio/studio_panels.h"
#include "studio/studio_view.h"
#include "support/device_fixtures.h"
#include "support/model_home.h"
#include "window/root_view.h"

#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

const QString colours = QStringLiteral(TOVI_FIXTURES "/video/colours.mp4");

class StudioScreen : public ::testing::Test {
protected:
    void SetUp() override {
        m_view = std::make_unique<StudioView>(m_model, m_home.settings(), [] {});
        m_view->resize(1180, 800);
        m_view->show();
    }
    void TearDown() override {
        m_view.reset();
        waitForWork();
    }
    QString photo() {
        return savePicture(m_dir.filePath(QStringLiteral("holiday.png")), {800, 600}, Qt::darkCyan);
    }
    void import(const QString& path) {
        m_view->importFile(path);
        ASSERT_TRUE(waitUntil([&] { return !m_model.busy(); }));
    }
    // `files` dragged onto the middle of the screen and dropped; whether it took the drag.
    bool drop(const QList<QUrl>& files) {
        QMimeData data;
        data.setUrls(files);
        const QPoint at = m_view->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &dropped);
        return enter.isAccepted();
    }
    template <typename T> T* openTool(EditorTool tool) {
        m_view->workspace()->setSelected(tool);
        return m_view->workspace()->bubble()->findChild<T*>();
    }

    ModelHome m_home;
    QTemporaryDir m_dir;
    StudioModel m_model{m_home.settings()};
    std::unique_ptr<StudioView> m_view;
};

TEST_F(StudioScreen, ImportTurnsTheInvitationIntoTheEditor) {
    SendBar* bar = m_view->sendBar();
    EXPECT_EQ(bar->title(), QStringLiteral("Zacznij od zdjęcia lub filmu"));
    EXPECT_EQ(bar->subtitle(), QStringLiteral("Dopasuj obraz na podglądzie Tovi."));
    EXPECT_FALSE(bar->button()->isEnabled());
    EXPECT_FALSE(m_view->preview()->pointerView()->interactionEnabled());
    EXPECT_TRUE(m_view->findChild<QLabel*>()->isVisible());
    const auto hint = [&] { return m_view->workspace()->hint()->accessibleName(); };
    EXPECT_EQ(hint(), QStringLiteral("Dodaj zdjęcie, GIF lub film"));
    // Until then the hint is a link to the files: Space and Enter follow it, Tab leaves it.
    int asked = 0;
    m_view->setFileChooser([&] { return ++asked, std::optional<QString>(); });
    QLabel* link = m_view->workspace()->hint();
    link->setFocus();
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Tab})
        QTest::keyClick(link, key);
    EXPECT_EQ(asked, 2);
    EXPECT_NE(QApplication::focusWidget(), link);
    // The crop panel is open from the start, but idle without material.
    auto* crop = m_view->workspace()->bubble()->findChild<CropControls*>();
    ASSERT_NE(crop, nullptr);
    EXPECT_FALSE(crop->isEnabled());

    m_view->importFile(photo());
    EXPECT_EQ(m_view->contextLabel()->text(), QStringLiteral("Przygotowuję…"));
    EXPECT_FALSE(bar->button()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !m_model.busy(); }));
    EXPECT_EQ(hint(), QStringLiteral("Przeciągnij obraz · rolka zmienia zoom"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(link)->role(), QAccessible::StaticText);
    EXPECT_EQ(bar->title(), QStringLiteral("Twój ekran jest gotowy"));
    EXPECT_EQ(bar->subtitle(), QStringLiteral("JPG · 240 × 240"));
    EXPECT_TRUE(bar->button()->isEnabled());
    EXPECT_EQ(m_view->contextLabel()->text(), QStringLiteral("holiday.png"));
    EXPECT_TRUE(crop->isEnabled());
    EXPECT_TRUE(m_view->preview()->pointerView()->interactionEnabled());
    EXPECT_FALSE(m_view->preview()->image().isNull());

    // The crop sliders follow drags on the picture.
    m_model.zoomCrop(10, false);
    EXPECT_NEAR(crop->crop().zoom, m_model.options().crop.zoom, 1e-12);
}

TEST_F(StudioScreen, RotationSwitchesTheFormatAndLocksThePicker) {
    import(photo());
    auto* controls = openTool<StudioAnimationControls>(EditorTool::animation);
    ASSERT_NE(controls, nullptr);
    EXPECT_TRUE(controls->rotationSwitch()->isVisible());
    EXPECT_FALSE(controls->startRow()->isVisible());
    EXPECT_TRUE(controls->formatPicker()->isEnabled());

    QTest::mouseClick(controls->rotationSwitch(), Qt::LeftButton);
    EXPECT_TRUE(m_model.options().rotation);
    EXPECT_EQ(m_model.options().format, OutputFormat::gif);
    EXPECT_FALSE(controls->formatPicker()->isEnabled());
    EXPECT_TRUE(controls->turnRow()->isVisible());
    EXPECT_TRUE(controls->fpsPicker()->isVisible());
    EXPECT_TRUE(m_view->preview()->ticking()); // the turn is previewed on the device
    EXPECT_EQ(m_view->sendBar()->subtitle(), QStringLiteral("GIF · 240 × 240"));

    QTest::mouseClick(controls->rotationSwitch(), Qt::LeftButton);
    EXPECT_FALSE(m_model.options().rotation);
    EXPECT_EQ(m_model.options().format, OutputFormat::jpg);
    EXPECT_TRUE(controls->formatPicker()->isEnabled());
    EXPECT_FALSE(m_view->preview()->ticking());
}

// What a screen reader hears of a slider is the number shown beside it, not the double beneath.
TEST(SliderRow, IsHeardAsTheNumberItShows) {
    SliderRow row(QStringLiteral("Długość"));
    row.show(0.1, 58.449999999999974, 23.37999999999999);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(row.slider());
    EXPECT_EQ(face->text(QAccessible::Value), QStringLiteral("23.4 s"));
    EXPECT_EQ(face->valueInterface()->currentValue().toDouble(), 23.4);
    EXPECT_EQ(face->valueInterface()->maximumValue().toDouble(), 58.4);
    EXPECT_EQ(face->valueInterface()->minimumStepSize().toDouble(), 0.6); // a keyboard step
}

TEST_F(StudioScreen, FragmentSlidersStayWithinTheVideo) {
    import(colours); // 2 s
    auto* controls = openTool<StudioAnimationControls>(EditorTool::animation);
    ASSERT_NE(controls, nullptr);
    EXPECT_FALSE(controls->rotationSwitch()->isVisible());
    DoubleSlider* start = controls->startRow()->slider();
    DoubleSlider* length = controls->lengthRow()->slider();
    EXPECT_DOUBLE_EQ(start->minimumValue(), 0);
    EXPECT_NEAR(start->maximumValue(), 1.9, 1e-9);
    EXPECT_NEAR(length->maximumValue(), 2.0, 1e-9);
    EXPECT_EQ(controls->lengthRow()->valueLabel()->text(), QStringLiteral("2.0 s"));

    // One scale for the length: a start that leaves room does not move its handle; one that
    // leaves less holds it at what is left, marked, and a move beyond stops there.
    length->moveTo(1.0);
    const int handle = length->sliderPosition();
    start->moveTo(0.5);
    EXPECT_EQ(length->sliderPosition(), handle) << "the handle does not jump";
    start->setSliderPosition(start->maximum()); // dragged to the end
    EXPECT_NEAR(m_model.options().start, 1.9, 1e-9);
    EXPECT_NEAR(length->maximumValue(), 2.0, 1e-9);
    EXPECT_NEAR(length->limit(), 0.1, 1e-9);
    EXPECT_NEAR(length->value(), 0.1, 1e-9);
    EXPECT_EQ(controls->lengthRow()->valueLabel()->text(), QStringLiteral("0.1 s"));
    length->moveTo(1.5);
    EXPECT_NEAR(m_model.options().length, 0.1, 1e-9) << "a move beyond stops at the limit";

    // The frame rate shows in the playing fragment but not on the still: no refresh of it.
    ASSERT_TRUE(waitUntil([&] { return !m_model.busy(); }));
    spin(300);
    QSignalSpy previews(&m_model, &StudioModel::previewChanged);
    QTest::mouseClick(controls->fpsPicker()->segment(0), Qt::LeftButton);
    EXPECT_EQ(m_model.options().fps, 6);
    // Nor do the order and the speed.
    EXPECT_EQ(controls->orderPicker()->accessibleName(), QStringLiteral("Odtwarzanie"));
    EXPECT_EQ(controls->speedPicker()->segment(3)->text(), QStringLiteral("1,5 ×"));
    QTest::mouseClick(controls->orderPicker()->segment(2), Qt::LeftButton);
    QTest::mouseClick(controls->speedPicker()->segment(0), Qt::LeftButton);
    EXPECT_EQ(m_model.options().order, PlaybackOrder::bounce);
    EXPECT_EQ(m_model.options().speed, 0.5);
    spin(300);
    EXPECT_EQ(previews.count(), 0);

    // JPEG: no length, no frame rate, no order.
    QTest::mouseClick(controls->formatPicker()->segment(1), Qt::LeftButton);
    EXPECT_FALSE(controls->lengthRow()->isVisible());
    EXPECT_FALSE(controls->fpsPicker()->isVisible());
    EXPECT_FALSE(controls->orderPicker()->isVisible());
}

TEST_F(StudioScreen, CaptionsAppearWhileTyping) {
    import(photo());
    auto* captions = openTool<StudioCaptionControls>(EditorTool::caption);
    ASSERT_NE(captions, nullptr);
    ASSERT_FALSE(captions->captionsSwitch()->isChecked());
    const QImage before = m_model.preview();
    QSignalSpy previews(&m_model, &StudioModel::previewChanged);
    QTest::keyClicks(captions->titleField(), QStringLiteral("Lato"));
    EXPECT_EQ(previews.count(), 4);
    EXPECT_EQ(m_model.options().captionTitle, QStringLiteral("Lato"));
    EXPECT_TRUE(captions->captionsSwitch()->isChecked()) << "typed text is meant to show";
    EXPECT_NE(m_model.preview(), before);
}

TEST_F(StudioScreen, AFailedImportIsAnAlertThatOkClears) {
    const QString notes = m_dir.filePath(QStringLiteral("notes.jpg"));
    writeFile(notes, "not a picture");
    import(notes);
    ASSERT_TRUE(waitUntil([&] { return m_view->alert() != nullptr; }));
    QMessageBox* alert = m_view->alert();
    EXPECT_EQ(alert->windowTitle(), QStringLiteral("Nie udało się"));
    EXPECT_EQ(alert->text(), m_model.error());
    EXPECT_FALSE(alert->text().isEmpty());
    QTest::mouseClick(alert->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return m_model.error().isEmpty(); }));
}

TEST_F(StudioScreen, TheFilesRowImportsWhatTheChooserGives) {
    int asked = 0;
    m_view->setFileChooser([&]() -> std::optional<QString> {
        ++asked;
        return asked == 1 ? std::nullopt : std::optional(colours);
    });
    auto* material = openTool<MaterialPanel>(EditorTool::material);
    ASSERT_NE(material, nullptr);
    QTest::mouseClick(material->filesRow(), Qt::LeftButton); // cancelled: nothing happens
    EXPECT_FALSE(m_model.busy());
    QTest::mouseClick(material->filesRow(), Qt::LeftButton);
    EXPECT_TRUE(m_model.busy());
    EXPECT_FALSE(material->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !m_model.busy(); }));
    EXPECT_EQ(m_model.mediaName(), QStringLiteral("colours.mp4"));
    EXPECT_TRUE(material->isEnabled());
}

TEST_F(StudioScreen, ADroppedFileIsImported) {
    EXPECT_TRUE(drop({QUrl::fromLocalFile(colours)}));
    ASSERT_TRUE(waitUntil([&] { return m_model.media().has_value() && !m_model.busy(); }));
    EXPECT_EQ(m_model.mediaName(), QStringLiteral("colours.mp4"));
}

TEST_F(StudioScreen, DroppedFilesMakeARowThatIsOneTabStopAndReadAsItIsSeen) {
    QStringList files;
    for (const QString& name :
         {QStringLiteral("plaża.jpg"), QStringLiteral("las.png"), QStringLiteral("góry.png")})
        files << savePicture(m_dir.filePath(name), {320, 240}, Qt::darkGreen);
    drop({QUrl::fromLocalFile(files[0]), QUrl::fromLocalFile(files[1]),
          QUrl::fromLocalFile(files[2])});
    PictureRow& row = m_view->row();
    PictureStrip* strip = m_view->strip();
    const auto spoken = [&] {
        return QAccessible::queryAccessibleInterface(strip)->text(QAccessible::Name);
    };
    ASSERT_TRUE(waitUntil([&] {
        return !row.busy() && row.count() == 3 &&
               m_model.mediaName() == QStringLiteral("plaża.jpg");
    })) << row.count()
        << " " << m_model.error().toStdString() << " " << m_model.mediaName().toStdString();
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(m_view->sendBar()->button()->text(), QStringLiteral("Wyślij na Tovi (3)"));
    EXPECT_EQ(spoken(), QStringLiteral("Obraz 1 z 3: plaża.jpg"));
    EXPECT_FALSE(
        QAccessible::queryAccessibleInterface(strip)->text(QAccessible::Description).isEmpty());

    // The arrows move the selection and the editor follows; Ctrl moves the picture itself.
    const QImage unfocused = strip->grab().toImage();
    strip->setFocus();
    EXPECT_NE(strip->grab().toImage(), unfocused); // the keyboard's place shows
    QTest::keyClick(strip, Qt::Key_Right);
    EXPECT_EQ(spoken(), QStringLiteral("Obraz 2 z 3: las.png"));
    ASSERT_TRUE(waitUntil([&] { return m_model.mediaName() == QStringLiteral("las.png"); }));
    QTest::keyClick(strip, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(row.item(2).label, QStringLiteral("las.png"));
    EXPECT_EQ(spoken(), QStringLiteral("Obraz 3 z 3: las.png"));
    QTest::keyClick(strip, Qt::Key_Home);
    EXPECT_EQ(spoken(), QStringLiteral("Obraz 1 z 3: plaża.jpg"));
    // One Tab stop: Tab leaves the strip, the arrows never do.
    EXPECT_EQ(QApplication::focusWidget(), strip);
    QTest::keyClick(strip, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), strip);

    // A drag puts a picture elsewhere; the × and Delete take one out.
    const auto drag = [strip](QPoint pressed, QPointF to) {
        QTest::mousePress(strip, Qt::LeftButton, {}, pressed);
        QMouseEvent move(QEvent::MouseMove, to, strip->mapToGlobal(to), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(strip, &move);
        QTest::mouseRelease(strip, Qt::LeftButton, {}, to.toPoint());
    };
    const QPoint last = strip->thumbnailRect(2).center();
    drag(strip->thumbnailRect(0).center(), QPointF(strip->thumbnailRect(2).right() - 2, last.y()));
    EXPECT_EQ(row.item(2).label, QStringLiteral("plaża.jpg"));
    EXPECT_EQ(row.item(0).label, QStringLiteral("góry.png"));
    EXPECT_EQ(row.selected(), 2);
    drag(last, QPointF(strip->thumbnailRect(0).left() + 2, last.y()));
    EXPECT_EQ(row.item(0).label, QStringLiteral("plaża.jpg"));
    EXPECT_EQ(row.selected(), 0);
    // Dropped just before the third: it lands second.
    drag(strip->thumbnailRect(0).center(),
         QPointF(strip->thumbnailRect(2).center().x() - 4, last.y()));
    EXPECT_EQ(row.item(1).label, QStringLiteral("plaża.jpg"));
    EXPECT_EQ(row.selected(), 1);
    QTest::mouseClick(strip, Qt::LeftButton, {}, strip->removeRect().center());
    EXPECT_EQ(row.count(), 2);
    EXPECT_EQ(m_view->sendBar()->button()->text(), QStringLiteral("Wyślij na Tovi (2)"));
    strip->setFocus();
    QTest::keyClick(strip, Qt::Key_Delete);
    EXPECT_EQ(row.count(), 1);
    EXPECT_FALSE(strip->isVisible()); // one picture is no row
    EXPECT_EQ(m_view->sendBar()->button()->text(), QStringLiteral("Wyślij na Tovi"));
    // What is left is sent as one picture is.
    m_view->openTransfer();
    ASSERT_NE(m_view->transferSheet(), nullptr);
    EXPECT_EQ(m_view->transferSheet()->findChild<RowSummary*>(), nullptr);
    m_view->transferSheet()->close();
}

TEST(PhotoLibrary, OffersPicturesAndFilmsNewestFirst) {
    QTemporaryDir pictures, videos;
    const auto touch = [](const QString& path, int age) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.flush(); // a later flush would stamp the time anew
        file.setFileTime(QDateTime::currentDateTime().addSecs(-age),
                         QFileDevice::FileModificationTime);
    };
    QDir().mkpath(pictures.filePath(QStringLiteral("2026/lato")));
    touch(pictures.filePath(QStringLiteral("old.JPG")), 3000);
    touch(pictures.filePath(QStringLiteral("2026/lato/new.heic")), 10);
    touch(pictures.filePath(QStringLiteral("notes.txt")), 5);
    touch(videos.filePath(QStringLiteral("clip.mp4")), 100);
    const QStringList files = PhotoPickerDialog::libraryFiles({pictures.path(), videos.path()});
    ASSERT_EQ(files.size(), 3);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral("new.heic")));
    EXPECT_TRUE(files[1].endsWith(QStringLiteral("clip.mp4")));
    EXPECT_TRUE(files[2].endsWith(QStringLiteral("old.JPG")));
    EXPECT_EQ(PhotoPickerDialog::libraryFiles({pictures.path()}, 1).size(), 1);
}

// The window: header, theme, first run, mode switching and the collection's choice.
class Root : public ::testing::Test {
protected:
    void TearDown() override { waitForWork(); }
    ModelHome m_home;
};

TEST_F(Root, TheTutorialIsOfferedUntilFinished) {
    {
        StudioRootView root(m_home.settings());
        root.show();
        ASSERT_NE(root.tutorialSheet(), nullptr);
        root.tutorialSheet()->close(); // closed, not finished
    }
    {
        StudioRootView root(m_home.settings());
        root.show();
        ASSERT_NE(root.tutorialSheet(), nullptr);
        root.finishTutorial();
        EXPECT_EQ(m_home.settings().integer(Settings::tutorialVersion), 1);
    }
    StudioRootView root(m_home.settings());
    root.show();
    EXPECT_EQ(root.tutorialSheet(), nullptr);
    QTest::mouseClick(root.tutorialButton(), Qt::LeftButton);
    EXPECT_NE(root.tutorialSheet(), nullptr);
}

TEST_F(Root, TheCaseColourIsTheTheme) {
    m_home.settings().setInteger(Settings::tutorialVersion, 1);
    m_home.settings().setString(Settings::caseColor, QStringLiteral("black"));
    StudioRootView root(m_home.settings());
    EXPECT_TRUE(Theme::isDark());
    EXPECT_TRUE(root.caseButton(QStringLiteral("black"))->isChecked());
    EXPECT_FALSE(root.caseButton(QStringLiteral("silver"))->isChecked());
    EXPECT_EQ(root.studioView()->preview()->color(), QStringLiteral("black"));

    QTest::mouseClick(root.caseButton(QStringLiteral("silver")), Qt::LeftButton);
    EXPECT_FALSE(Theme::isDark());
    EXPECT_EQ(m_home.settings().string(Settings::caseColor), QStringLiteral("silver"));
    EXPECT_EQ(root.studioView()->preview()->color(), QStringLiteral("silver"));
    EXPECT_EQ(root.caseButton(QStringLiteral("silver"))->toolTip(),
              QStringLiteral("Srebrna obudowa · jasny motyw"));

    // Only "black" itself: another colour or spelling is the light theme.
    m_home.settings().setString(Settings::caseColor, QStringLiteral("Black"));
    StudioRootView other(m_home.settings());
    EXPECT_FALSE(Theme::isDark());
    EXPECT_FALSE(other.caseButton(QStringLiteral("silver"))->isChecked());
    EXPECT_FALSE(other.caseButton(QStringLiteral("black"))->isChecked());
    Theme::apply(false);
}

TEST_F(Root, ModesKeepTheirWorkAndWaitWhileBusy) {
    m_home.settings().setInteger(Settings::tutorialVersion, 1);
    StudioRootView root(m_home.settings());
    root.show();
    QTest::mouseClick(root.modeSwitch()->segment(1), Qt::LeftButton);
    EXPECT_EQ(root.mode(), StudioMode::cards);
    QTest::mouseClick(root.modeSwitch()->segment(0), Qt::LeftButton);

    root.studio().importMedia(QUrl::fromLocalFile(colours));
    EXPECT_FALSE(root.modeSwitch()->isEnabled());
    EXPECT_TRUE(root.caseButton(QStringLiteral("black"))->isEnabled());
    EXPECT_TRUE(root.tutorialButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !root.studio().busy(); }));
    EXPECT_TRUE(root.modeSwitch()->isEnabled());

    // A card chosen in the collection: the artwork becomes the studio's material…
    const StarterPack& pack = root.packs().packs().at(7);
    root.showCollection();
    ASSERT_NE(root.collectionSheet(), nullptr);
    root.choose(pack, 2);
    ASSERT_TRUE(waitUntil([&] { return !root.studio().busy(); }));
    EXPECT_EQ(root.studio().mediaName(), QStringLiteral("pack-%1-3.jpg").arg(pack.id));
    ASSERT_TRUE(waitUntil([&] { return root.collectionSheet() == nullptr; }));

    // …or, in the six-card mode, the pack and the card; the studio keeps its material.
    root.setMode(StudioMode::cards);
    root.choose(pack, 4);
    EXPECT_EQ(root.packs().selectedID(), pack.id);
    EXPECT_EQ(root.packs().slot(), 4);
    EXPECT_EQ(root.studio().mediaName(), QStringLiteral("pack-%1-3.jpg").arg(pack.id));
}

// Started again, the window shows the screen it was left on (the work: see tests/desktop);
// a saved work that cannot be read never stops it from starting.
TEST_F(Root, TheWindowOpensOnTheScreenItWasLeftOn) {
    {
        StudioRootView root(m_home.settings());
        root.setMode(StudioMode::cards);
        root.openFile(colours); // the studio's material: shown there
        EXPECT_EQ(root.mode(), StudioMode::artwork);
        ASSERT_TRUE(waitUntil([&] { return root.studio().media() && !root.studio().busy(); }));
        root.setMode(StudioMode::cards);
    }
    waitForWork();
    writeFile(m_home.library() + QStringLiteral("/studio.json"), "{\"version\": 1, \"copy\":");
    StudioRootView root(m_home.settings());
    settle();
    EXPECT_EQ(root.mode(), StudioMode::cards);
    EXPECT_FALSE(root.studio().media());
}

} // namespace

TEST_F(Root, KeysDoWhatTheirTooltipsSay) {
    m_home.settings().setInteger(Settings::tutorialVersion, 1);
    StudioRootView root(m_home.settings());
    root.show();
    QApplication::setActiveWindow(&root);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&root));
    int asked = 0;
    root.studioView()->setFileChooser([&asked]() -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    });
    QTest::keyClick(&root, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(asked, 1) << "Ctrl+O adds material";

    QTest::keyClick(&root, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(root.mode(), StudioMode::cards);
    EXPECT_TRUE(root.modeSwitch()->segment(1)->toolTip().contains(QStringLiteral("Ctrl+2")));
    QTest::keyClick(&root, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(root.mode(), StudioMode::artwork);

    QTest::keyClick(&root, Qt::Key_F1);
    EXPECT_NE(root.tutorialSheet(), nullptr);
    root.tutorialSheet()->close();
    QApplication::processEvents();
    QApplication::setActiveWindow(&root);

    // Nothing to send in an empty studio; the six cards are always ready.
    QTest::keyClick(&root, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(root.studioView()->transferSheet(), nullptr);
    QTest::keyClick(&root, Qt::Key_2, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !root.packs().busy(); }, 10000));
    QTest::keyClick(&root, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_NE(root.packsView()->transferSheet(), nullptr);
}

TEST_F(Root, TheEmptyDisplayAsksForMaterialAndLongNamesEndInAnEllipsis) {
    m_home.settings().setInteger(Settings::tutorialVersion, 1);
    StudioRootView root(m_home.settings());
    root.resize(1180, 850);
    root.show();
    QApplication::processEvents();
    StudioView* view = root.studioView();
    const QPoint display = view->preview()->pointerView()->geometry().center();
    QTest::mouseClick(view->preview(), Qt::LeftButton, {}, display);
    EXPECT_EQ(view->workspace()->selected(), EditorTool::material);
    bool chooserOpened = false; // and so does the hint under it
    view->setFileChooser([&] { return chooserOpened = true, std::optional<QString>(); });
    QLabel* hint = view->workspace()->hint();
    QTest::mouseClick(hint, Qt::LeftButton, {}, hint->rect().center());
    EXPECT_TRUE(chooserOpened);

    const QString name = QStringLiteral("wakacje-nad-morzem-w-sierpniu-z-babcią-i-dziadkiem-"
                                        "oraz-psem-Burkiem-wersja-ostateczna-2.mp4");
    view->contextLabel()->parentWidget()->show(); // shown while media is loaded
    view->contextLabel()->setText(name);
    view->contextLabel()->setFixedWidth(160);
    view->contextLabel()->grab();
    EXPECT_EQ(view->contextLabel()->toolTip(), name) << "cut, so told whole";
    view->contextLabel()->setText(QStringLiteral("krótka.gif"));
    view->contextLabel()->grab();
    EXPECT_TRUE(view->contextLabel()->toolTip().isEmpty());
}
