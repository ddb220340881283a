#include "working_folder.h"

#include "app/platform_error.h"

#include <QDir>
#include <QStandardPaths>
#include <cerrno>

namespace tovi::WorkingFolder {

QString path() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        throw PlatformError(PlatformError::notFound, QStringLiteral("~/.local/share"));
    const QString folder = base + QStringLiteral("/ToviStudio");
    if (!QDir().mkpath(folder))
        throw PlatformError::fromErrno(errno ? errno : EACCES, folder);
    return folder;
}

namespace {

QString made(const QString& folder) {
    if (!QDir().mkpath(folder))
        throw PlatformError::fromErrno(errno ? errno : EACCES, folder);
    return folder;
}

} // namespace

QString removedItems() {
    return made(path() + QStringLiteral("/Usunięte z Tovi"));
}

QString removedPacks() {
    return made(path() + QStringLiteral("/Usunięte zestawy"));
}

QString packs() {
    return made(path() + QStringLiteral("/Packs"));
}

QString packBackups() {
    return packs() + QStringLiteral("/Backups");
}

QString packExports() {
    return packs() + QStringLiteral("/Exports");
}

QString ownPacks() {
    return made(path() + QStringLiteral("/OwnPacks"));
}

} // namespace tovi::WorkingFolder
