#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "device/device_layout.h"
#include "device/game1_installer.h"
#include "device/game_backup.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

#include <map>
#include <optional>
#include <unistd.h>

namespace tovi::cli {

namespace {

struct Arguments {
    QString folder;
    QString device;
    QString backups;
};

int usageError(const QString& text) {
    QTextStream(stderr) << "tovi: " << text << '\n';
    return 2;
}

// One positional folder plus the options named in `options`; nothing when they do not parse.
std::optional<Arguments> parse(const QStringList& arguments, bool withDevice) {
    Arguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString* option = nullptr;
        if (withDevice && argument == QStringLiteral("--device"))
            option = &parsed.device;
        else if (withDevice && argument == QStringLiteral("--backups"))
            option = &parsed.backups;
        if (option) {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            *option = arguments[++i];
        } else if (argument.startsWith(QLatin1Char('-')) || !parsed.folder.isEmpty()) {
            return std::nullopt;
        } else {
            parsed.folder = argument;
        }
    }
    if (parsed.folder.isEmpty() || (withDevice && parsed.device.isEmpty()))
        return std::nullopt;
    return parsed;
}

// Where the application keeps its backups: "Packs/Backups" of its working folder.
QString defaultBackups() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/ToviStudio/Packs/Backups");
}

int failed(const ToviError& error) {
    QTextStream(stderr) << "tovi: " << error.message() << '\n';
    return 1;
}

} // namespace

int installCards(const QStringList& arguments) {
    const std::optional<Arguments> parsed = parse(arguments, true);
    if (!parsed)
        return usageError(QStringLiteral("użycie: tovi install-cards DIR --device PATH "
                                         "[--backups DIR]"));
    try {
        Game1Installer::Files files;
        for (const QString& name : Game1Installer::names())
            files[name] = readFile(QDir(parsed->folder).filePath(name));
        // On a terminal, where the transaction stands, card by card; a pipe or a log gets
        // just the result.
        const bool terminal = ::isatty(STDERR_FILENO);
        Game1Installer::Writer write = Game1Installer::writeAtomically;
        // Leftovers removed from Game1 are always told.
        const Game1Installer::Observer shown = [terminal](const Game1Installer::Progress& at) {
            if (at.stage == Game1Installer::Stage::cleaned)
                err() << DeviceLayout::leftoversRemovedText(QStringLiteral("Game1"), at.removed)
                      << '\n';
            else if (terminal && at.stage == Game1Installer::Stage::backedUp)
                err() << "Kopia poprzedniego zestawu gotowa.\n";
            else if (terminal && at.stage == Game1Installer::Stage::cardsWritten)
                err() << "\r\033[KSześć kart zapisanych i sprawdzonych.\n";
            err() << Qt::flush;
            return true;
        };
        if (terminal) {
            write = [done = 0](const QByteArray& bytes, const QString& target) mutable {
                err() << "\rZapisuję karty: " << ++done << " z 6 (" << QFileInfo(target).fileName()
                      << ")" << Qt::flush;
                Game1Installer::writeAtomically(bytes, target);
            };
        }
        const QString backup = Game1Installer::install(
            files, parsed->device, parsed->backups.isEmpty() ? defaultBackups() : parsed->backups,
            write, shown);
        QTextStream(stdout) << backup << '\n';
        return 0;
    } catch (const ToviError& error) {
        return failed(error);
    }
}

int verifyBackup(const QStringList& arguments) {
    const std::optional<Arguments> parsed = parse(arguments, false);
    if (!parsed)
        return usageError(QStringLiteral("użycie: tovi verify-backup BACKUP_DIR"));
    const GameBackup::Report report = GameBackup::verify(parsed->folder);
    if (!report.found) {
        err() << "tovi: " << report.problems.join(QLatin1Char(' ')) << '\n';
        return 1;
    }
    QTextStream out(stdout);
    for (const QString& problem : report.problems)
        out << problem << '\n';
    if (report.intact)
        out << "Kopia jest nienaruszona: " << report.manifest.files.size()
            << " plik(ów) zgodnych z manifest.json.\n";
    else
        out << "Kopia jest uszkodzona albo niekompletna.\n";
    if (report.installed)
        out << "Jest installed.txt: instalacja, przed którą zrobiono kopię, została "
               "zweryfikowana.\n";
    else
        out << "Brak installed.txt: instalacja, przed którą zrobiono kopię, nie została "
               "ukończona albo została wycofana.\n";
    return report.intact ? 0 : 1;
}

int restoreBackup(const QStringList& arguments) {
    const std::optional<Arguments> parsed = parse(arguments, true);
    if (!parsed)
        return usageError(QStringLiteral("użycie: tovi restore-backup BACKUP_DIR --device PATH "
                                         "[--backups DIR]"));
    try {
        const QString backup =
            GameBackup::restore(parsed->folder, parsed->device,
                                parsed->backups.isEmpty() ? defaultBackups() : parsed->backups);
        QTextStream(stdout) << backup << '\n';
        return 0;
    } catch (const ToviError& error) {
        return failed(error);
    }
}

} // namespace tovi::cli
