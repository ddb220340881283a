#include "game_backup.h"

#include "app/tovi_error.h"
#include "device/backup_error.h"

#include <QDir>
#include <QFileInfo>

#include <set>

namespace tovi {

namespace {

QString child(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

} // namespace

GameBackup::Report GameBackup::verify(const QString& folder) {
    Report report;
    if (!QFileInfo(folder).isDir()) {
        report.problems << QStringLiteral("Nie ma folderu ") + QDir::toNativeSeparators(folder) +
                               QLatin1Char('.');
        return report;
    }
    report.found = true;
    report.installed = QFileInfo(child(folder, QStringLiteral("installed.txt"))).isFile();

    try {
        report.manifest =
            GameBackupManifest::fromJson(readBack(child(folder, QStringLiteral("manifest.json"))));
    } catch (const std::exception&) {
        report.problems << QStringLiteral("Brak pliku manifest.json albo jest on nieczytelny.");
        return report;
    }

    const QString copies = child(folder, QStringLiteral("Game1"));
    if (!QFileInfo(copies).isDir() || QFileInfo(copies).isSymLink()) {
        report.problems << QStringLiteral("Brak folderu Game1 z kopiami plików.");
        return report;
    }
    const QStringList entries = QDir(copies).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    std::set<QString> seen;
    for (const QString& name : entries) {
        seen.insert(name);
        const auto expected = report.manifest.files.find(name);
        if (expected == report.manifest.files.end()) {
            report.problems << name + QStringLiteral(": plik nie jest wymieniony w manifest.json.");
            continue;
        }
        const QFileInfo info(child(copies, name));
        if (info.isSymLink() || !info.isFile()) {
            report.problems << name + QStringLiteral(": to nie jest zwykły plik.");
            continue;
        }
        QByteArray bytes;
        try {
            bytes = readBack(info.filePath());
        } catch (const ToviError& error) {
            report.problems << name + QStringLiteral(": ") + error.message();
            continue;
        }
        const GameBackupManifest::File actual = GameBackupManifest::describe(bytes);
        if (actual.bytes != expected->second.bytes)
            report.problems << name + QStringLiteral(": %1 B zamiast %2 B zapisanych w manifeście.")
                                          .arg(actual.bytes)
                                          .arg(expected->second.bytes);
        else if (actual.sha256 != expected->second.sha256)
            report.problems << name + QStringLiteral(": suma SHA-256 nie zgadza się z manifestem.");
    }
    for (const auto& [name, file] : report.manifest.files) {
        if (!seen.count(name))
            report.problems << name + QStringLiteral(": brak kopii tego pliku.");
    }
    report.intact = report.problems.isEmpty();
    return report;
}

QString GameBackup::restore(const QString& folder, const QString& selection, const QString& backups,
                            const Game1Installer::Writer& write,
                            const Game1Installer::Observer& observe) {
    const Report report = verify(folder);
    if (!report.intact)
        throw BackupError(BackupError::damaged, report.problems);
    Game1Installer::Files files;
    for (const QString& name : Game1Installer::names()) {
        if (report.manifest.files.find(name) == report.manifest.files.end())
            throw BackupError(BackupError::incomplete);
        const QByteArray bytes = readBack(child(child(folder, QStringLiteral("Game1")), name));
        // The copy may have changed since it was checked; only the verified bytes go back.
        if (GameBackupManifest::describe(bytes) != report.manifest.files.at(name))
            throw BackupError(BackupError::damaged);
        files[name] = bytes;
    }
    return Game1Installer::install(files, selection, backups, write, observe);
}

} // namespace tovi
