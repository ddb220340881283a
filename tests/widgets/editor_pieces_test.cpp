#include "app/polish_language.h"
#include "app/settings.h"
#include "app/studio_mode.h"
#include "media/media_processor.h"
#include "shell/crop_controls.h"
#include "shell/device_preview.h"
#include "shell/double_slider.h"
#include "shell/editor_workspace.h"
#include "shell/file_chooser.h"
#include "shell/material_panel.h"
#include "shell/theme.h"
#include "shell/tool_bubble.h"
#include "shell/tool_buttons.h"
#include "shell/url_opener.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <QWindow>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

// The picture grows with the window up to a cap, and in a low window it shrinks so that the
// whole device and the panel stay on screen.
TEST(Workspace, ThePreviewFitsTheSpaceOffered) {
    EditorWorkspace workspace({EditorTool::crop}, {}, {});
    auto* preview = new DevicePreview;
    workspace.setPreview(preview);
    const auto artAt = [&](QSize size) {
        workspace.resize(size);
        QApplication::processEvents();
        return preview->artRect();
    };
    workspace.show();
    const QRectF roomy = artAt({1040, 760});
    EXPECT_EQ(roomy.width(), 480);
    EXPECT_EQ(artAt({1400, 1000}).width(), 480) << "the cap";
    EXPECT_EQ(workspace.bubble()->bubbleHeight(), 390);
    const QRectF low = artAt({1400, 500});
    EXPECT_LT(low.width(), roomy.width());
    EXPECT_LE(low.height(), 500 - 175 + 1);
    EXPECT_GE(low.top(), 0);
    EXPECT_NEAR(low.height() / low.width(), roomy.height() / roomy.width(), 0.01);
    EXPECT_EQ(workspace.bubble()->bubbleHeight(), 320);
    const QRectF narrow = artAt({700, 1200});
    EXPECT_LE(preview->mapTo(&workspace, narrow.topRight().toPoint()).x(),
              workspace.bubble()->mapTo(&workspace, QPoint()).x())
        << "beside the tool column";
}

TEST(Workspace, ToolsOpenSwitchAndCloseThePanel) {
    EditorWorkspace workspace(
        {EditorTool::crop, EditorTool::animation}, [] { return new QLabel(QStringLiteral("M")); },
        [](EditorTool tool) { return new QLabel(rawValue(tool)); });
    workspace.resize(1180, 800);
    workspace.show();
    ToolButtons* strip = workspace.toolButtons();
    // The material tool leads the strip on every screen (see the Tab order), as a symbol only.
    EXPECT_TRUE(strip->button(EditorTool::material)->text().isEmpty());

    QSignalSpy changes(&workspace, &EditorWorkspace::selectedChanged);
    QToolButton* crop = strip->button(EditorTool::crop);
    QTest::mouseClick(crop, Qt::LeftButton);
    EXPECT_EQ(workspace.selected(), EditorTool::crop);
    EXPECT_TRUE(workspace.bubble()->findChild<QLabel*>()->isVisible());

    QTest::mouseClick(strip->button(EditorTool::material), Qt::LeftButton);
    EXPECT_EQ(workspace.selected(), EditorTool::material);
    const auto labels = workspace.bubble()->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                            [](QLabel* label) { return label->text() == QStringLiteral("M"); }));

    QTest::mouseClick(strip->button(EditorTool::material), Qt::LeftButton);
    EXPECT_EQ(workspace.selected(), std::nullopt);

    QTest::mouseClick(crop, Qt::LeftButton);
    QTest::mouseClick(workspace.bubble()->doneButton(), Qt::LeftButton);
    EXPECT_EQ(workspace.selected(), std::nullopt);
    EXPECT_EQ(changes.count(), 5);
    // Closed, the panel still keeps its place.
    EXPECT_EQ(workspace.bubble()->bubbleHeight(), 390);
}

TEST(CropControls, ValuesShowIntegerPartsAndCentringResetsTheZoom) {
    EXPECT_EQ(CropControls::zoomText(1.5), QStringLiteral("150%"));
    EXPECT_EQ(CropControls::zoomText(1.999), QStringLiteral("199%"));
    EXPECT_EQ(CropControls::offsetText(-0.005), QStringLiteral("0"));
    EXPECT_EQ(CropControls::offsetText(-0.25), QStringLiteral("−25"));
    EXPECT_EQ(CropControls::offsetText(0.999), QStringLiteral("99"));

    CropControls controls;
    QSignalSpy changed(&controls, &CropControls::changed);
    controls.setCrop({2, 0.5, -0.5});
    EXPECT_EQ(changed.count(), 0); // showing a crop is not a change
    controls.xSlider()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_NEAR(controls.crop().x, 0.7, 1e-9);
    EXPECT_EQ(controls.crop().zoom, 2);

    QTest::mouseClick(controls.centreButton(), Qt::LeftButton);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.last()[0].value<CropSettings>(), CropSettings{});
    EXPECT_EQ(controls.zoomSlider()->value(), 1);
}

// Counts the wheel events a widget receives.
struct WheelCounter : QObject {
    int wheels = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        wheels += event->type() == QEvent::Wheel;
        return false;
    }
};

// A display inside a scrolling screen, as the editors place it.
class Pointer : public ::testing::Test {
protected:
    void SetUp() override {
        auto* content = new QWidget;
        content->setMinimumSize(600, 2000);
        m_preview = new DevicePreview(content);
        m_preview->setGeometry(0, 0, 400, DevicePreview::sizeForArtWidth(376).height());
        m_preview->setInteractive(true);
        m_preview->setActions(
            [this](double dx, double dy, double width) {
                pans.push_back({dx, dy, width});
            },
            [this](double delta, bool precise) {
                zooms.push_back({delta, precise ? 1.0 : 0.0});
            });
        m_scroll.setWidget(content);
        m_scroll.resize(640, 600);
        m_scroll.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_scroll));
        m_view = m_preview->pointerView();
    }
    QWindow* window() { return m_scroll.windowHandle(); }
    QPoint inWindow(QPoint local) { return m_view->mapTo(&m_scroll, local); }
    void wheel(QPoint local, QPoint pixels, QPoint angle) {
        // Routed as the window routes a wheel: to the widget under the pointer that takes
        // mouse events, and from there up to its parents while ignored.
        const QPoint at = inWindow(local);
        QWidget* target = m_scroll.childAt(at);
        ASSERT_NE(target, nullptr);
        const QPointF there = target->mapFrom(&m_scroll, QPointF(at));
        QWheelEvent event(there, m_scroll.mapToGlobal(QPointF(at)), pixels, angle, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&event); // only a real wheel travels up to parents
        qApp->notify(target, &event); // as delivered, not sent: sending clears "spontaneous"
    }

    QScrollArea m_scroll;
    DevicePreview* m_preview = nullptr;
    CropPointerView* m_view = nullptr;
    std::vector<std::array<double, 3>> pans;
    std::vector<std::array<double, 2>> zooms;
};

TEST_F(Pointer, DragsAndWheelsOnTheRoundDisplayOnly) {
    const QPoint centre = m_view->rect().center();
    EXPECT_TRUE(m_view->hits(centre));
    EXPECT_FALSE(m_view->hits(QPoint(2, 2))); // a corner of the frame, outside the circle
    EXPECT_NEAR(m_view->width(), 376 * 0.512, 1.0);

    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(centre));
    QTest::mouseMove(window(), inWindow(centre + QPoint(10, -4)));
    QTest::mouseMove(window(), inWindow(centre + QPoint(13, -4)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(centre + QPoint(13, -4)));
    ASSERT_EQ(pans.size(), 2u);
    EXPECT_EQ(pans[0], (std::array<double, 3>{10, -4, double(m_view->width())}));
    EXPECT_EQ(pans[1][0], 3);

    // A press in the corner starts nothing.
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(QPoint(2, 2)));
    QTest::mouseMove(window(), inWindow(QPoint(30, 30)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(QPoint(30, 30)));
    EXPECT_EQ(pans.size(), 2u);

    wheel(centre, {}, {0, 120});
    wheel(centre, {0, -7}, {0, -21});
    EXPECT_EQ(zooms, (std::vector<std::array<double, 2>>{{1, 0}, {-7, 1}}));
    EXPECT_EQ(m_scroll.verticalScrollBar()->value(), 0);
}

TEST_F(Pointer, ADisabledDisplayLetsTheScreenScroll) {
    m_preview->setInteractive(false);
    const QPoint centre = m_view->rect().center();
    WheelCounter beneath;
    m_preview->parentWidget()->installEventFilter(&beneath);
    wheel(centre, {}, {0, -120});
    EXPECT_TRUE(zooms.empty());
    EXPECT_EQ(beneath.wheels, 1);
    EXPECT_GT(m_scroll.verticalScrollBar()->value(), 0);
    QTest::mousePress(window(), Qt::LeftButton, {}, inWindow(centre));
    QTest::mouseMove(window(), inWindow(centre + QPoint(10, 0)));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, inWindow(centre + QPoint(10, 0)));
    EXPECT_TRUE(pans.empty());
}

// The preview turns through the very frames the exported GIF shows, each at the same moment of
// the cycle; the cycle's phase is the wall clock's.
TEST(Timeline, ARevealFadesInAndReducedMotionHoldsStill) {
    PreviewTimeline::Settings reveal;
    reveal.revealing = true;
    reveal.rotationSeconds = 1;
    const double base = 840 * 1000;
    EXPECT_LT(PreviewTimeline::at(base, reveal).opacity, 0.1);
    double last = 0;
    for (const double t : {0.0, 0.2, 0.5, 0.9}) {
        const double opacity = PreviewTimeline::at(base + t, reveal).opacity;
        EXPECT_GT(opacity, last) << t;
        last = opacity;
    }
    reveal.rotationSeconds = 4; // the fade takes a second, the card then stays
    EXPECT_EQ(PreviewTimeline::at(base + 1.5, reveal).opacity, 1);

    PreviewTimeline::Settings still = reveal;
    still.rotating = true;
    still.reduceMotion = true;
    EXPECT_EQ(PreviewTimeline::at(base + 0.5, still).angle, 0);
    EXPECT_EQ(PreviewTimeline::at(base + 0.5, still).opacity, 1);
    EXPECT_FALSE(PreviewTimeline::animates(still));
}

TEST(Preview, TicksOnlyWhenSomethingMovesAndNamesItsCase) {
    DevicePreview preview;
    preview.resize(DevicePreview::sizeForArtWidth(300));
    preview.show();
    EXPECT_FALSE(preview.ticking());
    PreviewTimeline::Settings turn;
    turn.rotating = true;
    preview.setAnimation(turn);
    EXPECT_TRUE(preview.ticking());
    turn.reduceMotion = true;
    preview.setAnimation(turn);
    EXPECT_FALSE(preview.ticking());

    EXPECT_EQ(preview.accessibleName(), QStringLiteral("Podgląd ekranu Tovi, obudowa srebrna"));
    preview.setColor(QStringLiteral("black"));
    EXPECT_EQ(preview.accessibleName(), QStringLiteral("Podgląd ekranu Tovi, obudowa czarna"));

    // A colour with no picture: no body, but the display still shows the placeholder.
    preview.setColor(QStringLiteral("gold"));
    EXPECT_EQ(preview.accessibleName(), QStringLiteral("Podgląd ekranu Tovi, obudowa srebrna"));
    const QImage shot = preview.grab().toImage();
    const QRectF display = DevicePreview::displayFrame(preview.artRect().width())
                               .translated(preview.artRect().topLeft());
    const QColor middle = shot.pixelColor(display.center().toPoint() + QPoint(0, 40));
    EXPECT_EQ(middle.alpha(), 255);
    EXPECT_EQ(shot.pixelColor(preview.artRect().bottomRight().toPoint() - QPoint(20, 20)),
              preview.palette().color(QPalette::Window));

    // A picture handed in fills the circle.
    QImage red(600, 600, QImage::Format_RGB32);
    red.fill(Qt::red);
    preview.setImage(red);
    const QImage withPicture = preview.grab().toImage();
    EXPECT_EQ(withPicture.pixelColor(display.center().toPoint()), QColor(Qt::red));
}

TEST(PolishLanguage, QtsOwnTextsArePolishToo) {
    ASSERT_TRUE(PolishLanguage::install()) << "qt6-translations-l10n is missing";
    QLineEdit field;
    std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << action->text().section(u'\t', 0, 0);
    EXPECT_TRUE(texts.contains(QStringLiteral("&Cofnij"))) << texts.join(u' ').toStdString();
    EXPECT_EQ(QLocale().toString(2.5, 'f', 1), QStringLiteral("2,5"));
}

TEST(FileChooser, StartsWhereAFileWasLastChosen) {
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("s.ini")));
    settings.setString(Settings::lastFolder, dir.path());
    EXPECT_EQ(FileChooser::startFolder(settings), dir.path());
    // A folder that has gone (an unplugged disk): Pictures, or home.
    settings.setString(Settings::lastFolder, dir.filePath(QStringLiteral("gone")));
    const QString start = FileChooser::startFolder(settings);
    EXPECT_TRUE(QFileInfo(start).isDir()) << start.toStdString();
    EXPECT_NE(start, dir.filePath(QStringLiteral("gone")));
}

TEST(UrlOpener, WithoutAProgramThePathIsShownAndCopied) {
    QTemporaryDir nothing, folder;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(nothing.path())); // no xdg-open anywhere
    QWidget window;
    window.show();
    UrlOpener::open(QUrl::fromLocalFile(folder.path()), &window);
    QMessageBox* box = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (box = window.findChild<QMessageBox*>()); }, 5000));
    qputenv("PATH", path);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->informativeText(), folder.path());
    box->findChild<QPushButton*>(QStringLiteral("copy"))->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), folder.path());
}

TEST(MaterialPanel, RestoreOnlyWhenOffered) {
    int files = 0;
    MaterialPanel without(
        new MaterialRow(QStringLiteral("Biblioteka zdjęć"), QStringLiteral("photo.on.rectangle")),
        [&] { ++files; });
    EXPECT_EQ(without.restoreButton(), nullptr);
    QTest::mouseClick(without.filesRow(), Qt::LeftButton);
    EXPECT_EQ(files, 1);
    int restored = 0;
    MaterialPanel with(
        nullptr, [] {}, [&] { ++restored; });
    ASSERT_NE(with.restoreButton(), nullptr);
    EXPECT_EQ(with.restoreButton()->text(), QStringLiteral("Przywróć grafikę z kolekcji"));
    QTest::mouseClick(with.restoreButton(), Qt::LeftButton);
    EXPECT_EQ(restored, 1);
}

TEST(Icons, EverySymbolTheScreensNameIsDrawn) {
    const QString names =
        QStringLiteral("arrow.clockwise arrow.counterclockwise arrow.up.right cable.connector "
                       "checkmark.circle.fill chevron.right clock.arrow.circlepath crop dice "
                       "ellipsis.circle exclamationmark.circle folder headphones photo "
                       "photo.on.rectangle questionmark.circle shuffle square.and.arrow.up "
                       "square.grid.2x2 textformat xmark xmark.circle.fill");
    for (const QString& name : names.split(u' ')) {
        const QImage icon = Icons::pixmap(name, Qt::red, 24, 1).toImage();
        ASSERT_FALSE(icon.isNull()) << name.toStdString();
        int painted = 0;
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                painted += qAlpha(icon.pixel(x, y)) > 128 && qRed(icon.pixel(x, y)) > 128;
        EXPECT_GT(painted, 20) << name.toStdString();
    }
    EXPECT_TRUE(Icons::pixmap(QStringLiteral("no.such.symbol"), Qt::red, 24).isNull());
}

} // namespace
