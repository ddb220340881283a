#include "app/settings.h"
#include "app/studio_mode.h"
#include "shell/root_view.h"
#include "shell/theme.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ToviStudio"));
    QApplication::setApplicationDisplayName(QStringLiteral("ToviStudio"));
    QApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tovi-studio"));

    tovi::Settings settings;
    // The theme is in place before the first widget is drawn.
    tovi::Theme::apply(tovi::StudioAppearance::isDark(
        settings.string(tovi::Settings::caseColor, QStringLiteral("silver"))));

    tovi::StudioRootView window(settings);
    window.resize(1180, 850);
    window.show();
    return QApplication::exec();
}
