#include "shell/root_view.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ToviStudio"));
    QApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));

    tovi::RootView window;
    window.show();
    return QApplication::exec();
}
