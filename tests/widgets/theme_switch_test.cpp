// Changing the case colour changes the whole window at once: a window switched while open looks
// exactly like one started in that theme, on every screen and tool panel.
#include "app/settings.h"
#include "packs/own_packs.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "shell/editor_workspace.h"
#include "shell/send_bar.h"
#include "studio/studio_view.h"
#include "support/model_home.h"
#include "window/root_view.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

EditorWorkspace* workspaceOf(StudioRootView& root) {
    return root.mode() == StudioMode::artwork ? root.studioView()->workspace()
                                              : root.packsView()->workspace();
}

// The screens, tool panels and sheets of the window, in one fixed order.
enum class Sheet { none, transfer, collection, tutorial };
struct State {
    StudioMode mode;
    std::optional<EditorTool> tool;
    Sheet sheet = Sheet::none;
};

std::vector<State> states() {
    std::vector<State> all;
    for (const StudioMode mode : {StudioMode::artwork, StudioMode::cards}) {
        all.push_back({mode, std::nullopt});
        for (const EditorTool tool : allEditorTools)
            all.push_back({mode, tool});
    }
    all.push_back({StudioMode::cards, std::nullopt, Sheet::transfer});
    all.push_back({StudioMode::artwork, std::nullopt, Sheet::collection});
    all.push_back({StudioMode::artwork, std::nullopt, Sheet::tutorial});
    return all;
}

std::string nameOf(const State& state) {
    static const char* sheets[] = {"", "-transfer", "-collection", "-tutorial"};
    return (state.mode == StudioMode::artwork ? "artwork" : "cards") +
           (state.tool ? "-" + rawValue(*state.tool).toStdString() : std::string()) +
           sheets[int(state.sheet)];
}

// Shows the state and returns what is on top: the sheet, or else the window.
QWidget* show(StudioRootView& root, const State& state) {
    root.setMode(state.mode);
    workspaceOf(root)->setSelected(state.tool);
    QWidget* top = &root;
    switch (state.sheet) {
    case Sheet::none:
        break;
    case Sheet::transfer:
        root.packsView()->sendBar()->button()->click();
        top = root.packsView()->transferSheet();
        break;
    case Sheet::collection:
        root.showCollection();
        top = root.collectionSheet();
        break;
    case Sheet::tutorial:
        root.showTutorial();
        top = root.tutorialSheet();
        break;
    }
    if (QWidget* focused = QApplication::focusWidget()) // the keyboard's ring is not the theme
        focused->clearFocus();
    settle();
    return top;
}

void hideSheets(StudioRootView& root) {
    for (QDialog* sheet : root.findChildren<QDialog*>())
        sheet->close();
    settle();
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

} // namespace

class ThemeSwitch : public ::testing::TestWithParam<bool> {};

TEST_P(ThemeSwitch, AWindowSwitchedWhileOpenLooksLikeOneStartedInThatTheme) {
    qputenv("TOVI_REDUCE_MOTION", "1"); // the previews' animations hold still
    const bool toDark = GetParam();
    const QString from = toDark ? QStringLiteral("silver") : QStringLiteral("black");
    const QString to = toDark ? QStringLiteral("black") : QStringLiteral("silver");
    ModelHome home;
    home.settings().setInteger(Settings::tutorialVersion, 1);
    home.settings().setString(Settings::caseColor, from);

    // Each screen is on show while the colour changes under it; a sheet, which keeps the
    // window's colours out of reach while open, opens after the change.
    StudioRootView switched(home.settings());
    switched.resize(1180, 850);
    switched.show();
    settle();
    std::vector<QImage> after;
    for (const State& state : states()) {
        if (state.sheet != Sheet::none)
            switched.setDeviceColor(to);
        QWidget* top = show(switched, state);
        switched.setDeviceColor(to);
        settle();
        after.push_back(top->grab().toImage());
        switched.setDeviceColor(from);
        hideSheets(switched);
    }
    switched.hide();

    home.settings().setString(Settings::caseColor, to);
    StudioRootView started(home.settings());
    started.resize(1180, 850);
    started.show();
    settle();
    std::vector<QImage> fresh;
    for (const State& state : states()) {
        fresh.push_back(show(started, state)->grab().toImage());
        hideSheets(started);
    }

    const QString out = QDir::temp().filePath(QStringLiteral("tovi-theme-switch"));
    for (size_t i = 0; i < after.size(); ++i) {
        const std::string name = nameOf(states()[i]);
        const int differing = differingPixels(after[i], fresh[i]);
        EXPECT_EQ(differing, 0) << name << (toDark ? " to dark" : " to light");
        if (differing != 0) { // for a person to compare
            QDir().mkpath(out);
            const QString stem = QString::fromStdString(name) +
                                 (toDark ? QStringLiteral("-dark") : QStringLiteral("-light"));
            after[i].save(QDir(out).filePath(stem + QStringLiteral("-switched.png")));
            fresh[i].save(QDir(out).filePath(stem + QStringLiteral("-started.png")));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemeSwitch, ::testing::Values(true, false));

namespace {

double luminance(QColor c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast of a line of text as drawn: its most common pixel is the ground, the pixel
// furthest from it in luminance the ink.
double drawnContrast(const QImage& image) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb ground = 0;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > counts.value(ground))
            ground = it.key();
    const double g = luminance(QColor(ground));
    double best = 1;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        const double l = luminance(QColor(it.key()));
        best = std::max(best, (std::max(l, g) + 0.05) / (std::min(l, g) + 0.05));
    }
    return best;
}

} // namespace

// The notice under the editor, shown before the switch and again after it, stays legible.
TEST_P(ThemeSwitch, TheNoticeUnderTheEditorIsLegibleAfterTheSwitch) {
    qputenv("TOVI_REDUCE_MOTION", "1");
    const bool toDark = GetParam();
    ModelHome home;
    home.settings().setInteger(Settings::tutorialVersion, 1);
    home.settings().setString(Settings::caseColor, toDark ? "silver" : "black");
    StudioRootView root(home.settings());
    root.resize(1180, 850);
    root.show();
    root.setMode(StudioMode::cards);
    ASSERT_TRUE(waitUntil([&] { return root.packs().images().size() == 6; }));
    OwnPackFlow& flow = root.packsView()->ownPacks();
    const auto save = [&] {
        flow.save(&root);
        QPointer<PackNameDialog> dialog = flow.nameDialog();
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog->field(), Qt::Key_Return);
        ASSERT_TRUE(waitUntil([&] { return !root.packs().busy() && !dialog; }));
        settle();
    };
    const auto contrast = [&] {
        QLabel* label = root.packsView()->notice()->label();
        EXPECT_TRUE(label->isVisible());
        return drawnContrast(
            root.grab(QRect(label->mapTo(&root, QPoint()), label->size())).toImage());
    };
    save();
    EXPECT_GT(contrast(), 7.0) << "before the switch";
    root.setDeviceColor(toDark ? "black" : "silver");
    settle();
    EXPECT_GT(contrast(), 7.0) << "the old notice";
    save();
    EXPECT_GT(contrast(), 7.0) << "a new notice";
    waitForWork();
}
