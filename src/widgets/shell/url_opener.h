#pragma once

#include <QUrl>

class QMessageBox;
class QWidget;

namespace tovi::UrlOpener {

// Opens `url` (a folder, a file or a web page) with the desktop's own program for it. When none
// opens it, a small Polish message over `parent` (or the active window) gives the path or the
// address with a button that copies it: the action never silently does nothing.
void open(const QUrl& url, QWidget* parent = nullptr);

// That message, shown at once; owned by Qt (deleted when closed).
QMessageBox* showUnopened(const QUrl& url, QWidget* parent = nullptr);

} // namespace tovi::UrlOpener
