#pragma once

#include "device/game1_installer.h"
#include "device/game_backup_manifest.h"

#include <QString>
#include <QStringList>

namespace tovi {

// A backup folder left by Game1Installer::install: "Game1/" with the copies, "manifest.json" and,
// after a verified installation, "installed.txt". Synchronous file I/O; any thread.
class GameBackup {
public:
    struct Report {
        bool found = false;     // `folder` is a folder; nothing else is reported when it is not
        bool intact = false;    // manifest readable; copies and manifest agree name for name
        bool installed = false; // "installed.txt" is there
        QStringList problems;   // one Polish sentence per problem found
        GameBackupManifest manifest;
    };

    // Re-reads every copy and checks names, sizes and SHA-256 against the manifest. Never throws.
    static Report verify(const QString& folder);

    // Puts the six cards of the backup in `folder` back onto the device through the installer, so
    // that the restore is itself backed up (inside `backups`) and verified; returns that new
    // backup folder. Throws BackupError when the backup is damaged or lacks a card (the device is
    // then untouched), otherwise whatever the installer throws; `observe` as for the installer.
    static QString restore(const QString& folder, const QString& selection, const QString& backups,
                           const Game1Installer::Writer& write = Game1Installer::writeAtomically,
                           const Game1Installer::Observer& observe = {});
};

} // namespace tovi
