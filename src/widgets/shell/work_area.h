#pragma once

#include <QRect>
#include <QSize>

class QDialog;
class QScreen;

namespace tovi::WorkArea {

// The room the window manager's frame is assumed to take before it has framed a window: a title
// bar and thin borders.
constexpr QSize assumedFrame{8, 40};

// Under a Wayland compositor, which places windows itself and does not report the work area.
bool onWayland();

// The work area of `screen` (the primary screen when null). A Wayland compositor does not tell
// its clients, so there it is the screen less room for a panel.
QRect of(const QScreen* screen);

// A sheet of `preferred` size whose height gives way to a smaller work area; its content must
// scroll or shrink below that height.
void fitSheet(QDialog* sheet, QSize preferred);

} // namespace tovi::WorkArea
