#include "backup_list.h"

#include "app/platform_error.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace tovi {

QString BackupList::Entry::card(const QString& name) const {
    return folder + QStringLiteral("/Game1/") + name;
}

std::vector<BackupList::Entry> BackupList::read(const QString& backups) {
    const QDir dir(backups);
    if (!dir.exists())
        return {};
    if (!QFileInfo(backups).isReadable())
        throw PlatformError(PlatformError::permissionDenied, backups, EACCES);
    std::vector<Entry> entries;
    for (const QString& name : dir.entryList(
             {QStringLiteral("Game1-*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        Entry entry{dir.filePath(name), {}, GameBackup::verify(dir.filePath(name))};
        entry.created = entry.report.manifest.created;
        if (!entry.created.isValid()) // "Game1-<seconds>-<id>"
            entry.created = QDateTime::fromSecsSinceEpoch(
                name.section(QLatin1Char('-'), 1, 1).toLongLong(), Qt::UTC);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.created != b.created ? a.created > b.created : a.folder > b.folder;
    });
    return entries;
}

} // namespace tovi
