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

QString removedItems() {
    const QString folder = path() + QStringLiteral("/Usunięte z Tovi");
    if (!QDir().mkpath(folder))
        throw PlatformError::fromErrno(errno ? errno : EACCES, folder);
    return folder;
}

} // namespace tovi::WorkingFolder
