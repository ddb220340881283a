#include "file_chooser.h"

#include "app/atomic_write.h"
#include "app/settings.h"
#include "app/tovi_error.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
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

QStringList openMany(QWidget* parent, Settings& settings, const QString& title,
                     const QString& filter) {
    const QStringList files =
        QFileDialog::getOpenFileNames(parent, title, startFolder(settings), filter);
    if (!files.isEmpty())
        settings.setString(Settings::lastFolder, QFileInfo(files.front()).absolutePath());
    return files;
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

std::optional<QStringList> saveCopies(QWidget* parent, Settings& settings,
                                      const QStringList& files) {
    if (files.isEmpty())
        return std::nullopt;
    QStringList targets;
    if (files.size() == 1) {
        const auto target = saveAs(parent, settings, QFileInfo(files.front()).fileName());
        if (!target)
            return std::nullopt;
        targets << *target;
    } else {
        const auto folder = saveInto(parent, settings);
        if (!folder)
            return std::nullopt;
        QStringList taken;
        for (const QString& file : files) {
            targets << QDir(*folder).filePath(QFileInfo(file).fileName());
            if (QFileInfo::exists(targets.back()))
                taken << QFileInfo(file).fileName();
        }
        if (!taken.isEmpty()) {
            QMessageBox::information(
                parent, QStringLiteral("Nie zapisano"),
                QStringLiteral("W tym folderze są już pliki %1. Wybierz inny folder.")
                    .arg(taken.join(QStringLiteral(", "))));
            return std::nullopt;
        }
    }
    try {
        for (qsizetype i = 0; i < targets.size(); ++i)
            atomicWrite(targets[i], readFile(files[i]));
    } catch (const ToviError& error) {
        QMessageBox::warning(parent, QStringLiteral("Nie udało się"), error.message());
        return std::nullopt;
    }
    return targets;
}

std::optional<QString> deviceFolder(QWidget* parent) {
    QString from = QDir::homePath();
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty()) {
        for (const QString& place :
             {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user}) {
            if (QFileInfo(place).isDir()) {
                from = place;
                break;
            }
        }
    }
    const QString folder =
        QFileDialog::getExistingDirectory(parent, QStringLiteral("Połącz Tovi"), from);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

} // namespace tovi::FileChooser
