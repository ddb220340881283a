#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/polish_count.h"
#include "app/tovi_error.h"
#include "device/device_finder.h"
#include "device/device_layout.h"
#include "device/device_watch.h"
#include "device/game1_installer.h"
#include "device/game_backup.h"
#include "packs/packs_model.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>

namespace tovi::cli {

namespace {

struct Arguments {
    QString folder;
    QString device;
    QString backups;
    std::optional<double> timeout;
};

// One folder, --device, --backups and --timeout; nothing once the help or an error is printed,
// with the exit status in `status`.
std::optional<Arguments> parseInstallation(CommandLine& line, int& status) {
    line.add({{QStringLiteral("device"), QStringLiteral("dysk Tovi albo jego folder Game1"),
               QStringLiteral("ŚCIEŻKA")},
              {QStringLiteral("backups"),
               QStringLiteral("gdzie zrobić kopię Game1 (domyślnie w folderze roboczym)"),
               QStringLiteral("FOLDER")}});
    addTimeoutOption(line);
    Arguments parsed;
    if (const auto done = line.parse(1)) {
        status = *done;
        return std::nullopt;
    }
    if (!line.isSet("device") || !readTimeout(line.parser(), parsed.timeout)) {
        status = line.isSet("device") ? 2 : line.usageError();
        return std::nullopt;
    }
    parsed.folder = line.positional().constFirst();
    parsed.device = line.value("device");
    parsed.backups = line.value("backups");
    return parsed;
}

// The backups go where the command says, else where the window keeps them. Throws
// PlatformError when that folder cannot be made.
QString backupsFolder(const QString& given) {
    return given.isEmpty() ? PacksModel::backups() : given;
}

int failed(const ToviError& error) {
    QTextStream(stderr) << "tovi: " << error.message() << '\n';
    return 1;
}

// An installation, given the writer and observer to install with; returns the backup folder.
using Installation =
    std::function<QString(const Game1Installer::Writer&, const Game1Installer::Observer&)>;

// Runs `install` on a thread of its own while this thread watches the Tovi: where the transaction
// stands goes to a terminal, leftovers removed from Game1 are always told, a silence is reported
// and, with `timeout`, ends the wait and the process. Prints the backup folder and returns the
// exit status.
int runWatched(const Installation& install, std::optional<double> timeout) {
    const bool terminal = ::isatty(STDERR_FILENO);
    DeviceJob job;
    QString backup;
    const std::optional<QString> installed = watched<QString>(
        job, false,
        [&, terminal, install, tell = InterfaceRelay(&job)](const DeviceJob::Step& step) {
            // What the interface thread runs holds its own copies: the work's closure, and
            // `terminal` in it, may be gone by the time a posted step runs.
            const Game1Installer::Observer observe =
                [&, step, terminal](const Game1Installer::Progress& at) {
                    return step([&backup, &job, at, terminal] {
                        if (at.stage == Game1Installer::Stage::started) {
                            backup = at.backup;
                            job.watch();
                        }
                        if (at.stage == Game1Installer::Stage::cleaned)
                            err() << DeviceLayout::leftoversRemovedText(QStringLiteral("Game1"),
                                                                        at.removed)
                                  << '\n';
                        else if (terminal && at.stage == Game1Installer::Stage::backedUp)
                            err() << "Kopia poprzedniego zestawu gotowa.\n";
                        else if (terminal && at.stage == Game1Installer::Stage::cardsWritten)
                            err() << "\r\033[KSześć kart zapisanych i sprawdzonych.\n";
                        err() << Qt::flush;
                    });
                };
            Game1Installer::Writer write = Game1Installer::writeAtomically;
            if (terminal)
                write = [&, tell, done = std::make_shared<std::atomic<int>>(0)](
                            const QByteArray& bytes, const QString& target) {
                    tell([&, card = ++*done, name = QFileInfo(target).fileName()] {
                        err() << "\rZapisuję karty: " << card << " z 6 (" << name << ")"
                              << Qt::flush;
                    });
                    Game1Installer::writeAtomically(bytes, target);
                };
            return install(write, observe);
        },
        timeout, [&] { err() << "\ntovi: " << DeviceWatch::stoppedInstallText(backup) << '\n'; });
    if (!installed)
        return 1;
    QTextStream(stdout) << *installed << '\n';
    return 0;
}

} // namespace

int installCards(CommandLine& line) {
    addWaitOption(line);
    int status = 0;
    const std::optional<Arguments> parsed = parseInstallation(line, status);
    if (!parsed)
        return status;
    Game1Installer::Files files;
    try {
        for (const QString& name : Game1Installer::names())
            files[name] = readFile(QDir(parsed->folder).filePath(name));
    } catch (const ToviError& error) {
        return failed(error);
    }
    if (line.isSet("wait"))
        waitForDevice(parsed->device, [&] {
            DeviceFinder::folderFor(ToviTransferKind::cards, parsed->device, {});
        });
    return runWatched(
        [files, device = parsed->device, backups = parsed->backups](
            const Game1Installer::Writer& write, const Game1Installer::Observer& observe) {
            return Game1Installer::install(files, device, backupsFolder(backups), write, observe);
        },
        parsed->timeout);
}

int verifyBackup(CommandLine& line) {
    if (const auto status = line.parse(1))
        return *status;
    const GameBackup::Report report = GameBackup::verify(line.positional().constFirst());
    if (!report.found) {
        err() << "tovi: " << report.problems.join(QLatin1Char(' ')) << '\n';
        return 1;
    }
    QTextStream out(stdout);
    for (const QString& problem : report.problems)
        out << problem << '\n';
    if (report.intact)
        out << "Kopia jest nienaruszona: " << report.manifest.files.size() << ' '
            << PolishCount::plural(qint64(report.manifest.files.size()),
                                   QStringLiteral("plik zgodny"), QStringLiteral("pliki zgodne"),
                                   QStringLiteral("plików zgodnych"))
            << " z manifest.json.\n";
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

int restoreBackup(CommandLine& line) {
    int status = 0;
    const std::optional<Arguments> parsed = parseInstallation(line, status);
    if (!parsed)
        return status;
    return runWatched(
        [folder = parsed->folder, device = parsed->device, backups = parsed->backups](
            const Game1Installer::Writer& write, const Game1Installer::Observer& observe) {
            return GameBackup::restore(folder, device, backupsFolder(backups), write, observe);
        },
        parsed->timeout);
}

} // namespace tovi::cli
