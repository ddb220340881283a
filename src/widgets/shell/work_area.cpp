#include "work_area.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace tovi::WorkArea {
namespace {

// Where no screen is known: the main window's usual size.
constexpr QSize fallback{1180, 850};
// What a Wayland desktop's panel may take: weston's and GNOME's are 32 points, KDE's 44.
constexpr int waylandPanel = 48;

} // namespace

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect of(const QScreen* screen) {
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(QPoint(), fallback);
    if (onWayland())
        return screen->geometry().adjusted(0, 0, 0, -waylandPanel);
    return screen->availableGeometry();
}

void fitSheet(QDialog* sheet, QSize preferred) {
    const QWidget* over = sheet->parentWidget() ? sheet->parentWidget()->window() : sheet;
    const QSize room = of(over->screen()).size() - assumedFrame;
    sheet->setFixedSize(preferred.boundedTo(room));
}

} // namespace tovi::WorkArea
