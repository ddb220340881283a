#pragma once

#include <QStringList>
#include <QUrl>

class QMessageBox;
class QWidget;

namespace tovi::UrlOpener {

// Opens `url` (a folder, a file or a web page) with the desktop's own program for it. When none
// opens it, a small Polish message over `parent` (or the active window) gives the path or the
// address with a button that copies it: the action never silently does nothing.
void open(const QUrl& url, QWidget* parent = nullptr);

// Shows `files` selected in the desktop's file manager (org.freedesktop.FileManager1.ShowItems on
// the session bus). When there are none, or no file manager answers, `folder` is opened instead.
// Returns at once. Interface thread.
void reveal(const QStringList& files, const QString& folder);

// That message, shown at once; owned by Qt (deleted when closed).
QMessageBox* showUnopened(const QUrl& url, QWidget* parent = nullptr);

} // namespace tovi::UrlOpener
