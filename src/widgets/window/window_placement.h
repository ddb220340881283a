#pragma once

class QWidget;

namespace tovi {

class Settings;

// Where the main window opens: inside the work area the desktop reports (WorkArea), title bar
// and panel included, and where and as large as it was when it was last closed.
namespace WindowPlacement {

// Before the first showing: the size, place and maximised state of the last run, else the usual
// size fitted into the work area and centred there. Remembers them again when the window closes
// and, once the window manager has framed the window, pulls a frame that does not fit back in.
void manage(QWidget* window, Settings& settings);

} // namespace WindowPlacement

} // namespace tovi
