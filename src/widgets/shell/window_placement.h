#pragma once

#include <QRect>
#include <QSize>

class QDialog;
class QScreen;
class QWidget;

namespace tovi {

class Settings;

// Where the windows open: inside the work area the desktop reports, title bar and panel
// included, and for the main window where and as large as it was when it was last closed.
namespace WindowPlacement {

// The room the window manager's frame is assumed to take before it has framed a window: a title
// bar and thin borders.
constexpr QSize assumedFrame{8, 40};

// The work area of `screen`. A Wayland compositor does not tell its clients, so there it is the
// screen less room for a panel.
QRect workArea(const QScreen* screen);

// Before the first showing: the size, place and maximised state of the last run, else the usual
// size fitted into the work area and centred there. Remembers them again when the window closes
// and, once the window manager has framed the window, pulls a frame that does not fit back in.
void manage(QWidget* window, Settings& settings);

// A sheet of `preferred` size whose height gives way to a smaller work area; its content must
// scroll or shrink below that height.
void fitSheet(QDialog* sheet, QSize preferred);

} // namespace WindowPlacement

} // namespace tovi
