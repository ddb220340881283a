// The window fits the screens people have: a 1366 × 768 laptop with a panel and a title bar
// (1280 × 680 of work area) and 1600 × 1100 at 200 % (760 × 480), with everything still
// reachable.
#include "app/background_task.h"
#include "app/settings.h"
#include "packs/packs_view.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/editor_workspace.h"
#include "shell/send_bar.h"
#include "shell/tool_bubble.h"
#include "shell/tool_buttons.h"
#include "studio/studio_view.h"
#include "support/model_home.h"
#include "window/root_view.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>

using namespace tovi;
using namespace tovi::test;

namespace {

// The widget lies wholly inside the window.
bool inside(const QWidget* widget, const QWidget* window) {
    const QRect area(widget->mapTo(window, QPoint()), widget->size());
    return widget->isVisible() && window->rect().contains(area);
}

// The window of a fresh home, past the tutorial, shown at `size`.
std::unique_ptr<StudioRootView> shownWindow(ModelHome& home, QSize size = {1180, 850}) {
    home.settings().setInteger(Settings::tutorialVersion, 1);
    auto root = std::make_unique<StudioRootView>(home.settings());
    root->resize(size);
    root->show();
    settle();
    return root;
}

} // namespace

class WindowSize : public ::testing::TestWithParam<QSize> {};

TEST_P(WindowSize, EverythingIsWithinReach) {
    ModelHome home;
    const QSize size = GetParam();
    const auto window = shownWindow(home, size);
    StudioRootView& root = *window;
    ASSERT_LE(root.minimumSize().width(), size.width());
    ASSERT_LE(root.minimumSize().height(), size.height());
    ASSERT_EQ(root.size(), size);
    for (const StudioMode mode : {StudioMode::artwork, StudioMode::cards}) {
        root.setMode(mode);
        EditorWorkspace* workspace = mode == StudioMode::artwork ? root.studioView()->workspace()
                                                                 : root.packsView()->workspace();
        SendBar* bar = mode == StudioMode::artwork ? root.studioView()->sendBar()
                                                   : root.packsView()->sendBar();
        for (const EditorTool tool : allEditorTools) {
            workspace->setSelected(tool);
            settle();
            EXPECT_TRUE(inside(bar->button(), &root)) << size.width() << "×" << size.height();
            EXPECT_TRUE(inside(workspace->toolButtons(), &root));
            ToolBubble* bubble = workspace->bubble();
            EXPECT_TRUE(inside(bubble, &root)) << rawValue(tool).toStdString();
            // A panel taller than its bubble scrolls to its end.
            auto* scroll = bubble->findChild<QScrollArea*>();
            ASSERT_TRUE(scroll);
            if (QWidget* panel = scroll->widget()) {
                EXPECT_TRUE(panel->height() <= scroll->viewport()->height() ||
                            scroll->verticalScrollBar()->maximum() > 0)
                    << rawValue(tool).toStdString();
            }
        }
        workspace->setSelected(std::nullopt);
        settle();
        // No wrapped text loses its last line.
        for (const QLabel* label : root.findChildren<QLabel*>()) {
            if (label->isVisibleTo(&root) && label->wordWrap() && !label->text().isEmpty()) {
                EXPECT_GE(label->visibleRegion().boundingRect().height(),
                          label->heightForWidth(label->width()))
                    << label->text().toStdString();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowSize,
                         ::testing::Values(QSize(1280, 680), QSize(1280, 620), QSize(1040, 760),
                                           QSize(1600, 1000), QSize(760, 480)));

// The keyboard's place is always visible, on our own controls too, in both themes.
TEST(Accessibility, FocusIsDrawnOnOurOwnControls) {
    ModelHome home;
    const auto window = shownWindow(home);
    StudioRootView& root = *window;
    QApplication::setActiveWindow(&root);
    root.setMode(StudioMode::cards);
    settle();
    for (const QString& color : {QStringLiteral("silver"), QStringLiteral("black")}) {
        root.setDeviceColor(color);
        settle();
        for (QWidget* control : std::initializer_list<QWidget*>{
                 root.modeSwitch()->segment(1), root.caseButton(QStringLiteral("silver")),
                 root.packsView()->cardButton(2), root.packsView()->sendBar()->button()}) {
            root.setFocus();
            settle();
            const QImage plain = control->grab().toImage();
            control->setFocus(Qt::TabFocusReason);
            settle();
            ASSERT_TRUE(control->hasFocus()) << control->accessibleName().toStdString();
            EXPECT_NE(control->grab().toImage(), plain)
                << control->accessibleName().toStdString() << " in " << color.toStdString();
        }
    }
    root.setDeviceColor(QStringLiteral("silver"));
}

// The sheets open every time they are asked for, however busy the pool and however fast the
// person, and close only when told.
TEST(Sheets, OpenAndCloseEveryTimeUnderLoad) {
    ModelHome home;
    const auto window = shownWindow(home);
    StudioRootView& root = *window;
    std::atomic<bool> stop = false;
    // Every worker busy, as with long decodes and renderings.
    for (int i = 0; i < workerThreads().maxThreadCount(); ++i)
        workerThreads().start([&stop] {
            while (!stop)
                QThread::msleep(1);
        });
    for (int round = 0; round < 20; ++round) {
        root.setMode(round % 2 ? StudioMode::cards : StudioMode::artwork);
        root.showCollection();
        QApplication::processEvents();
        ASSERT_NE(root.collectionSheet(), nullptr) << round;
        EXPECT_TRUE(root.collectionSheet()->isVisible()) << round;
        for (auto* scroll : root.collectionSheet()->findChildren<QScrollArea*>())
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        QApplication::processEvents();
        EXPECT_TRUE(root.collectionSheet() && root.collectionSheet()->isVisible()) << round;
        root.collectionSheet()->close();
        QApplication::processEvents();
        root.showTutorial();
        QApplication::processEvents();
        ASSERT_NE(root.tutorialSheet(), nullptr) << round;
        EXPECT_TRUE(root.tutorialSheet()->isVisible()) << round;
        root.tutorialSheet()->close();
        QApplication::processEvents();
    }
    stop = true;
    settle();
}
