#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <map>

namespace tovi {

// What one backup of the device's Game1 holds: when it was made, where from, and the size and
// SHA-256 of every copied file. Written as "manifest.json" next to the copies.
struct GameBackupManifest {
    struct File {
        qint64 bytes = 0;
        QString sha256; // 64 lower-case hexadecimal digits

        bool operator==(const File&) const = default;
    };

    QDateTime created;
    QString source;                // file URL of the copied Game1 folder
    std::map<QString, File> files; // by file name, hidden files included

    // The manifest entry of `data`.
    static File describe(const QByteArray& data);

    // Compact JSON, every "/" written as "\/", `created` in seconds (with fraction) since
    // 2001-01-01 00:00:00 UTC.
    QByteArray toJson() const;
    // Throws PackError::backupFailed when a key is missing or of the wrong kind.
    static GameBackupManifest fromJson(const QByteArray& json);

    bool operator==(const GameBackupManifest&) const = default;
};

} // namespace tovi
