#include "resource_bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tovi {

ResourceBundle ResourceBundle::main() {
    const QString overridden = qEnvironmentVariable("TOVI_RESOURCES");
    if (!overridden.isEmpty())
        return ResourceBundle(overridden);
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../share/tovi-studio"));
    if (QFileInfo(installed).isDir())
        return ResourceBundle(QDir::cleanPath(installed));
    return ResourceBundle(QStringLiteral(TOVI_SOURCE_RESOURCES));
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
