// How the keyboard moves through the window, and what the dark theme looks like after use.
#include "app/settings.h"
#include "device/transfer_sheet.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "shell/editor_workspace.h"
#include "shell/material_panel.h"
#include "shell/send_bar.h"
#include "shell/theme.h"
#include "shell/tool_buttons.h"
#include "studio/studio_model.h"
#include "studio/studio_view.h"
#include "support/model_home.h"
#include "window/root_view.h"
#include "window/window_placement.h"

#include <QAccessible>
#include <QApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

const QString picture = QStringLiteral(TOVI_FIXTURES "/image/anim.png");

class InUse : public ::testing::Test {
protected:
    void SetUp() override {
        m_home.settings().setInteger(Settings::tutorialVersion, 1);
        m_root.resize(1180, 760);
        m_root.show();
        QApplication::setActiveWindow(&m_root);
        m_root.studioView()->importFile(picture);
        ASSERT_TRUE(waitUntil([&] { return m_root.studio().media() && !m_root.studio().busy(); }));
        settle();
    }
    void TearDown() override { waitForWork(); }

    // What a screen reader names at each press of Tab, from the mode switch round to it again.
    QStringList tabStops() {
        m_root.modeSwitch()->segment(int(m_root.mode() != StudioMode::artwork))->setFocus();
        QStringList stops;
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            if (focused == m_root.modeSwitch()->segment(int(m_root.mode() != StudioMode::artwork)))
                break;
            stops << QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name);
        }
        return stops;
    }

    ModelHome m_home;
    StudioRootView m_root{m_home.settings()};
};

} // namespace

TEST_F(InUse, TabFollowsWhatTheEyeSees) {
    const QStringList header{QStringLiteral("Srebrna obudowa i jasny motyw"),
                             QStringLiteral("Na Tovi: co jest na urządzeniu"),
                             QStringLiteral("Jak to działa?")};
    const QStringList tools{QStringLiteral("Materiał"), QStringLiteral("Kadr"),
                            QStringLiteral("Animacja"), QStringLiteral("Podpis"),
                            QStringLiteral("Kolekcja"), QStringLiteral("Gotowe"),
                            QStringLiteral("Zoom"),     QStringLiteral("Poziomo"),
                            QStringLiteral("Pionowo"),  QStringLiteral("Wycentruj kadr")};
    // The picture plays: its ▶II key takes the keyboard too (the display only the mouse).
    const QStringList playing{QStringLiteral("Wstrzymaj podgląd")};
    EXPECT_EQ(tabStops(), header + tools + playing + QStringList{QStringLiteral("Wyślij na Tovi")});
    m_root.setMode(StudioMode::cards);
    ASSERT_TRUE(waitUntil([&] { return !m_root.packs().busy(); }));
    settle();
    const QStringList cards =
        header + QStringList{QStringLiteral("Karta 1")} + tools +
        QStringList{QStringLiteral("Opcje zestawów"), QStringLiteral("Wyślij na Tovi")};
    EXPECT_EQ(tabStops(), cards);
}

// Opened by Ctrl+Enter, the sheet starts at its main button, the album one stop back. While the
// model works the send button is disabled and Qt moves the keyboard on; it comes back when the
// work is done, as it does to a control of a tool's panel disabled while a picture is read.
TEST_F(InUse, FocusGoesWhereThePersonIs) {
    m_root.studio().setSelectedFolder(QStringLiteral("Photo3"));
    QPushButton* send = m_root.studioView()->sendBar()->button();
    send->setFocus();
    QTest::keyClick(send, Qt::Key_Return, Qt::ControlModifier);
    ToviTransferSheet* sheet = m_root.studioView()->transferSheet();
    ASSERT_TRUE(sheet && waitUntil([&] { return sheet->isActiveWindow(); }, 5000));
    EXPECT_EQ(QApplication::focusWidget(), sheet->findChild<QPushButton*>("mainButton"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget()->accessibleName(), QStringLiteral("Album 3"));
    sheet->findChild<QPushButton*>(QStringLiteral("secondary"))->click(); // files only
    ASSERT_TRUE(waitUntil([&] { return !m_root.studio().busy(); }));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(m_root.focusWidget(), send);

    m_root.studioView()->workspace()->setSelected(EditorTool::material);
    auto* files = m_root.findChild<MaterialRow*>(QStringLiteral("files"));
    ASSERT_NE(files, nullptr);
    m_root.studioView()->setFileChooser([] { return picture; });
    files->setFocus();
    QTest::keyClick(files, Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return !m_root.studio().busy(); }));
    settle();
    EXPECT_EQ(m_root.focusWidget(), files);
}

// Enter presses a focused tool button as Space does: a tool opens, "⋯" opens its menu.
TEST_F(InUse, EnterPressesAFocusedToolButton) {
    EditorWorkspace* workspace = m_root.studioView()->workspace();
    QToolButton* crop = workspace->toolButtons()->button(EditorTool::animation);
    crop->setFocus();
    QTest::keyClick(crop, Qt::Key_Return);
    EXPECT_EQ(workspace->selected(), EditorTool::animation);
    m_root.setMode(StudioMode::cards);
    QToolButton* options = m_root.packsView()->optionsButton();
    options->setFocus();
    QTest::keyClick(options, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activePopupWidget(); }, 5000));
    QApplication::activePopupWidget()->close();
    settle();
}

// Files dragged over a screen that takes them light it up, following its size, until they
// leave or are dropped: a tint in the accent's frame. A drag it would not take leaves it as it is.
TEST_F(InUse, FilesDraggedOverAScreenLightItUp) {
    const auto lit = [](QWidget* screen) {
        const auto* shown = screen->findChild<QWidget*>(QStringLiteral("dropHighlight"));
        return shown && shown->isVisible() && shown->geometry() == screen->rect();
    };
    QMimeData file, words;
    file.setUrls({QUrl::fromLocalFile(picture)});
    words.setText(QStringLiteral("słowa"));
    const auto send = [](QWidget* screen, const QMimeData& data, QEvent::Type type) {
        QDragMoveEvent move({40, 40}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier, type);
        QDropEvent drop(QPointF(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(screen, type == QEvent::Drop ? static_cast<QEvent*>(&drop) : &move);
    };
    QWidget* screen = m_root.studioView();
    send(screen, words, QEvent::DragEnter);
    EXPECT_FALSE(lit(screen));
    const QPoint edge = screen->mapTo(&m_root, QPoint(8, 200)), inner = edge + QPoint(12, 0);
    const QColor plain = m_root.grab().toImage().pixelColor(inner);
    send(screen, file, QEvent::DragEnter);
    const QImage shot = m_root.grab().toImage();
    EXPECT_NE(shot.pixelColor(inner), plain);
    EXPECT_NEAR(shot.pixelColor(edge).hueF(), StudioStyle::accent().hueF(), 0.02);
    m_root.resize(1000, 700);
    settle();
    EXPECT_TRUE(lit(screen));
    QDragLeaveEvent leave;
    QApplication::sendEvent(screen, &leave);
    EXPECT_FALSE(lit(screen));
    send(screen, file, QEvent::DragMove);
    send(screen, file, QEvent::Drop);
    EXPECT_FALSE(lit(screen));
    ASSERT_TRUE(waitUntil([&] { return !m_root.studio().busy(); }));
    m_root.setMode(StudioMode::cards);
    send(m_root.packsView(), file, QEvent::DragEnter);
    EXPECT_TRUE(lit(m_root.packsView()));
}

// In the dark theme the options button stays dark after its menu has been used.
TEST_F(InUse, TheDarkOptionsButtonStaysDark) {
    m_root.setDeviceColor(QStringLiteral("black"));
    m_root.setMode(StudioMode::cards);
    QToolButton* options = m_root.packsView()->optionsButton();
    QTest::mouseClick(options, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activePopupWidget(); }, 5000));
    QApplication::activePopupWidget()->close();
    settle();
    EXPECT_LT(QColor(options->grab().toImage().pixel(2, 2)).lightness(), 100) << "no white square";
    m_root.setDeviceColor(QStringLiteral("silver"));
}

// Closed maximised, the window opens maximised again (size and place: see tests/desktop).
TEST(Placement, TheMaximisedWindowComesBackMaximised) {
    ModelHome home;
    for (const bool maximise : {true, false}) {
        QWidget window;
        WindowPlacement::manage(&window, home.settings());
        window.show();
        settle();
        EXPECT_EQ(window.isMaximized(), !maximise) << "as it was left";
        window.setWindowState(maximise ? Qt::WindowMaximized : Qt::WindowNoState);
        settle();
        window.close();
    }
}
