#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace tovi {

class Settings;

// The open dialogs of both screens. They start in the folder last used (remembered in the
// settings), else the Pictures folder, else the home folder, and go through the desktop's own
// dialog where it offers one.
namespace FileChooser {

// Before the application object exists: the dialogs then go through the XDG desktop portal
// where one answers (the desktop's own dialog), else through the platform theme's, else Qt's.
// A platform theme the user set wins.
void preferDesktopDialogs();

QString startFolder(const Settings& settings);
// The chosen file, remembering its folder; nothing when cancelled.
std::optional<QString> open(QWidget* parent, Settings& settings, const QString& title,
                            const QString& filter);

// The chosen files, in the order the dialog gives them, remembering their folder; none when
// cancelled.
QStringList openMany(QWidget* parent, Settings& settings, const QString& title,
                     const QString& filter);

// Where to save `name`: the save dialog in the remembered folder, which it then remembers;
// the dialog asks before replacing a file. Nothing when cancelled.
std::optional<QString> saveAs(QWidget* parent, Settings& settings, const QString& name);
// A folder to save several files into, remembered the same way.
std::optional<QString> saveInto(QWidget* parent, Settings& settings);

// Copies of `files` where the person wants them: one file through saveAs, several into a
// folder from saveInto, where a file already there stops the copy with a message. The copies
// made; nothing when cancelled or when a copy failed (a message says why).
std::optional<QStringList> saveCopies(QWidget* parent, Settings& settings,
                                      const QStringList& files);

// The device's main folder, chosen in a folder dialog titled "Połącz Tovi" that starts where
// removable disks are mounted; nothing when cancelled.
std::optional<QString> deviceFolder(QWidget* parent);

} // namespace FileChooser
} // namespace tovi
