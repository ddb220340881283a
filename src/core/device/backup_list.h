#pragma once

#include "device/game_backup.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace tovi {

// The local backups of Game1 ("Game1-…" folders in the backups folder), each with its date and
// the manifest check of GameBackup::verify. Reads every copy whole: call it from a background
// thread. Value types; no shared state.
struct BackupList {
    struct Entry {
        QString folder;
        QDateTime created; // the manifest's date, else the one in the folder's name (UTC)
        GameBackup::Report report;

        // The copy of card `name` ("1.gif"…) in this backup; it may be missing or damaged.
        QString card(const QString& name) const;
    };

    // Newest first; nothing when `backups` does not exist. Throws PlatformError when it exists
    // but cannot be listed.
    static std::vector<Entry> read(const QString& backups);
};

} // namespace tovi
