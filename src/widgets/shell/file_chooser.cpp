#include "file_chooser.h"

#include "app/settings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace tovi::FileChooser {

void preferDesktopDialogs() {
    // The portal theme hands everything but the dialogs to the theme Qt would have chosen, and
    // when no portal answers the dialogs too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORMTHEME"))
        qputenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");
}

QString startFolder(const Settings& settings) {
    const QString last = settings.string(Settings::lastFolder, {});
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

std::optional<QString> open(QWidget* parent, Settings& settings, const QString& title,
                            const QString& filter) {
    // A folder, never a file name: the dialog then opens in it with an empty name box.
    const QString file = QFileDialog::getOpenFileName(parent, title, startFolder(settings), filter);
    if (file.isEmpty())
        return std::nullopt;
    settings.setString(Settings::lastFolder, QFileInfo(file).absolutePath());
    return file;
}

std::optional<QString> saveAs(QWidget* parent, Settings& settings, const QString& name) {
    const QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Zapisz jako"),
                                                      QDir(startFolder(settings)).filePath(name));
    if (file.isEmpty())
        return std::nullopt;
    settings.setString(Settings::lastFolder, QFileInfo(file).absolutePath());
    return file;
}

std::optional<QString> saveInto(QWidget* parent, Settings& settings) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Zapisz pliki w folderze"), startFolder(settings));
    if (folder.isEmpty())
        return std::nullopt;
    settings.setString(Settings::lastFolder, folder);
    return folder;
}

} // namespace tovi::FileChooser
