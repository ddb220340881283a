#include "resource_bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tovi {

ResourceBundle ResourceBundle::main() {
    const QString overridden = qEnvironmentVariable("TOVI_RESOURCES");
    if (!overridden.isEmpty())
        return ResourceBundle(overridden);
    const QString binaries = QCoreApplication::applicationDirPath();
    // A program of the build tree reads the source tree's resources; an installed one only its
    // own, so a broken installation shows instead of quietly borrowing from a checkout.
    if (!binaries.isEmpty() &&
        QDir::cleanPath(binaries).startsWith(QDir::cleanPath(QStringLiteral(TOVI_BUILD_DIR))))
        return ResourceBundle(QStringLiteral(TOVI_SOURCE_RESOURCES));
    return ResourceBundle(
        QDir::cleanPath(QDir(binaries).absoluteFilePath(QStringLiteral("../share/tovi-studio"))));
}

std::optional<QString> ResourceBundle::url(const QString& name, const QString& extension) const {
    // Names come from our own data, but never let one climb out of the folder.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return std::nullopt;
    const QFileInfo file(QDir(m_folder).filePath(name + QLatin1Char('.') + extension));
    if (!file.isFile())
        return std::nullopt;
    return file.absoluteFilePath();
}

} // namespace tovi
