#include "app/settings.h"
#include "app/studio_mode.h"
#include "shell/root_view.h"
#include "shell/theme.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ToviStudio"));
    QApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));

    const tovi::Settings settings;
    tovi::Theme::apply(tovi::StudioAppearance::isDark(
        settings.string(tovi::Settings::caseColor, QStringLiteral("silver"))));

    tovi::RootView window;
    window.show();
    return QApplication::exec();
}
