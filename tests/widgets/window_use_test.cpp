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
#include <QDragEnterEvent>
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
    // The picture plays: its display and its ▶II key take the keyboard too.
    const QStringList playing{QStringLiteral("Przesuń kadr myszą lub zmień powiększenie rolką"),
                              QStringLiteral("Wstrzymaj podgląd")};
    EXPECT_EQ(tabStops(), header + tools + playing + QStringList{QStringLiteral("Wyślij na Tovi")});
    m_root.setMode(StudioMode::cards);
    ASSERT_TRUE(waitUntil([&] { return !m_root.packs().busy(); }));
    settle();
    const QStringList cards =
        header + QStringList{QStringLiteral("Karta 1")} + tools +
        QStringList{QStringLiteral("Opcje zestawów"), QStringLiteral("Wyślij na Tovi")};
    EXPECT_EQ(tabStops(), cards);
}

// Opened with Ctrl+Enter, the sheet starts at its main button, the chosen album one stop back.
// While the model works the send button is disabled and Qt moves the keyboard on; it comes back
// when the work is done, as it does to a control of a tool's panel disabled while a picture is
// read.
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

// Files dragged over a screen that takes them light it up in the accent until they leave or are
// dropped; a drag it would not take leaves it as it is.
TEST_F(InUse, FilesDraggedOverAScreenLightItUp) {
    const auto lit = [](QWidget* screen) {
        const auto* highlight = screen->findChild<QWidget*>(QStringLiteral("dropHighlight"));
        return highlight && highlight->isVisible() && highlight->geometry() == screen->rect();
    };
    const auto enter = [](QWidget* screen, const QMimeData& data) {
        QDragEnterEvent event({40, 40}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(screen, &event);
    };
    QWidget* screen = m_root.studioView();
    QMimeData words;
    words.setText(QStringLiteral("słowa"));
    enter(screen, words);
    EXPECT_FALSE(lit(screen));
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(picture)});
    const QPoint inner = screen->mapTo(&m_root, QPoint(20, screen->height() / 2));
    const QColor plain = m_root.grab().toImage().pixelColor(inner);
    enter(screen, file);
    ASSERT_TRUE(lit(screen));
    const QImage shot = m_root.grab().toImage();
    EXPECT_NE(shot.pixelColor(inner), plain) << "tinted inside the frame";
    const QColor edge = shot.pixelColor(screen->mapTo(&m_root, QPoint(8, screen->height() / 2)));
    const QColor accent = StudioStyle::accent();
    EXPECT_LT(std::abs(edge.red() - accent.red()) + std::abs(edge.green() - accent.green()) +
                  std::abs(edge.blue() - accent.blue()),
              24)
        << edge.name().toStdString();
    m_root.resize(1000, 700); // it follows the screen while it is lit
    settle();
    EXPECT_TRUE(lit(screen));
    QDragLeaveEvent leave;
    QApplication::sendEvent(screen, &leave);
    EXPECT_FALSE(lit(screen));
    enter(screen, file);
    QDropEvent drop(QPointF(40, 40), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(screen, &drop);
    EXPECT_FALSE(lit(screen));
    ASSERT_TRUE(waitUntil([&] { return !m_root.studio().busy(); }));

    // The card screen takes pictures and pack files; it is lit while a file is over it.
    m_root.setMode(StudioMode::cards);
    QMimeData pack;
    pack.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/Urodziny.tovipack"))});
    enter(m_root.packsView(), pack);
    EXPECT_TRUE(lit(m_root.packsView()));
    enter(m_root.packsView(), words);
    EXPECT_FALSE(lit(m_root.packsView()));
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
