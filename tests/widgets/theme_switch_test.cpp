// Changing the case colour changes the whole window at once: a window switched while open looks
// exactly like one started in that theme, on every screen and tool panel.
#include "app/settings.h"
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
#include <QPushButton>
#include <QThreadPool>
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
