#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace tovi {

class Settings;

// The open dialogs of both screens. They start in the folder last used (remembered in the
// settings), else the Pictures folder, else the home folder, and go through the desktop's own
// dialog where it offers one.
namespace FileChooser {

QString startFolder(const Settings& settings);
// The chosen file, remembering its folder; nothing when cancelled.
std::optional<QString> open(QWidget* parent, Settings& settings, const QString& title,
                            const QString& filter);

} // namespace FileChooser
} // namespace tovi
