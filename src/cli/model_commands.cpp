// The commands that do what the window does, through the same two models: the same checks,
// files, settings and messages.

#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/settings.h"
#include "app/tovi_error.h"
#include "device/album_row.h"
#include "device/device_finder.h"
#include "device/device_job.h"
#include "device/device_layout.h"
#include "packs/packs_model.h"
#include "packs/starter_pack.h"
#include "studio/studio_model.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTextStream>

namespace tovi::cli {
namespace {

QString option(const char* name) {
    return QString::fromLatin1(name);
}

QString absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

// The album as the device names it, whatever the case it was typed in; empty for another name.
QString albumNamed(const QString& typed) {
    for (const QString& album : DeviceLayout::albumNames())
        if (album.compare(typed, Qt::CaseInsensitive) == 0)
            return album;
    return {};
}

// Sends or installs through a packs model that already has its pack; prints the outcome.
int runPrepare(PacksModel& model, const QString& device, bool factory, const QString& out,
               std::optional<double> timeout) {
    if (!device.isEmpty()) {
        model.chooseDestination(absolute(device));
        if (!model.error().isEmpty())
            return failed(model.error());
    }
    reportStalls(model, timeout);
    // Leftovers of an interrupted write removed from Game1 are told as they go.
    QObject::connect(&model, &PacksModel::messageChanged, &model, [&model] {
        if (model.busy() && DeviceLayout::isLeftoversRemovedText(model.message()))
            err() << model.message() << '\n' << Qt::flush;
    });
    model.prepare(!device.isEmpty(), factory);
    waitWhileBusy(model);
    // A failure clears the message; a preview rendering may report its own error meanwhile.
    if (model.message().isEmpty())
        return failed(model.error().isEmpty() ? QStringLiteral("Nie udało się przygotować kart.")
                                              : model.error());
    try {
        if (!out.isEmpty()) {
            QDir().mkpath(absolute(out));
            for (const QString& file : model.exported())
                atomicWrite(QDir(absolute(out)).filePath(QFileInfo(file).fileName()),
                            readFile(file));
        }
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    QTextStream printed(stdout);
    printed << model.message() << '\n';
    if (!device.isEmpty())
        printed << "Kopia poprzedniego zestawu: " << model.lastBackup() << '\n';
    else
        printed << "Pliki: "
                << (out.isEmpty() ? QFileInfo(model.exported().value(0)).path() : absolute(out))
                << '\n';
    return 0;
}

// The picture's options from the command line and the album asked for, on the model. False
// when an option is wrong (exit status 2).
bool applySendOptions(const QCommandLineParser& parser, const QString& album, StudioModel& model) {
    ExportOptions options = model.options();
    if (!readExportOptions(parser, options))
        return false;
    model.setOptions(options);
    if (!album.isEmpty())
        model.setSelectedFolder(album);
    return true;
}

// Several files: each exported as the window would, the row measured against the Tovi before
// anything is written, then written one after another; a file that fails never stops the others.
int sendRow(const CommandLine& line, const QStringList& files, const QString& album,
            const QString& device, std::optional<double> timeout) {
    const QCommandLineParser& parser = line.parser();
    std::vector<AlbumRow::Graphic> row;
    std::vector<AlbumRow::Result> failures;
    QString destination, selected;
    for (int i = 0; i < files.size(); ++i) {
        const QString label = QFileInfo(files[i]).fileName();
        Settings settings;
        StudioModel model(settings, StudioModel::Work::oneShot);
        model.importMedia(QUrl::fromLocalFile(absolute(files[i])));
        waitWhileBusy(model);
        if (model.media()) {
            const QString copy = model.media()->url.toLocalFile();
            const auto removeCopy = qScopeGuard([&] { QFile::remove(copy); });
            if (!applySendOptions(parser, album, model))
                return 2;
            model.chooseDestination(device);
            if (!model.error().isEmpty())
                return failed(model.error()); // the same for every file
            destination = model.destination();
            selected = model.selectedFolder();
            const MediaProcessor::ExportProgress shown =
                terminalProgress(QStringLiteral("Eksport %1 z %2").arg(i + 1).arg(files.size()));
            if (shown)
                QObject::connect(&model, &StudioModel::exportProgress,
                                 [&](int done, int total) { shown(done, total); });
            model.prepare(false);
            waitWhileBusy(model);
        }
        if (!model.error().isEmpty()) {
            failures.push_back({label, {}, {}, model.error()});
            continue;
        }
        row.push_back({label, QFileInfo(model.exportedURL()).fileName(), model.output()});
        QFile::remove(model.exportedURL()); // a row keeps no local copies
    }
    if (!row.empty()) {
        try {
            AlbumRow::requireRoom(destination, selected, row);
        } catch (const ToviError& error) {
            return failed(error.message() + QStringLiteral(" Nic nie zapisano."));
        }
    }
    int written = 0;
    QString where;
    const auto told = [&](const AlbumRow::Result& result) {
        if (!result.written()) {
            failures.push_back(result);
            return;
        }
        ++written;
        where = result.album;
        QTextStream(stdout) << "Zapisano " << result.label << " do " << result.album << " jako "
                            << result.name << ".\n"
                            << Qt::flush;
    };
    const auto report = [&] {
        for (const AlbumRow::Result& failure : failures)
            err() << "tovi: " << failure.label << ": " << failure.error << '\n';
        QTextStream(stdout) << "Zapisano " << written << " z " << files.size() << " plików"
                            << (written ? QStringLiteral(" do ") + where : QString()) << ".\n"
                            << Qt::flush;
    };
    if (!row.empty()) {
        DeviceJob job;
        // Each result is told as it comes; a device that stops answering ends the row there.
        watched<bool>(
            job, true,
            [&, row](const DeviceJob::Step& beat) {
                AlbumRow::add(
                    destination, selected, row, [&beat](int) { return beat({}); },
                    [&beat, &told](const AlbumRow::Result& result) {
                        beat([&told, result] { told(result); });
                    });
                return true;
            },
            timeout,
            [&] {
                report();
                err() << "tovi: Przestano czekać na Tovi.\n";
            });
    }
    report();
    return failures.empty() ? 0 : 1;
}

} // namespace

int send(CommandLine& line) {
    addExportOptions(line);
    line.add({
        {option("device"), QStringLiteral("dysk Tovi albo jego album"), QStringLiteral("ŚCIEŻKA")},
        {option("album"), QStringLiteral("Photo1, Photo2 albo Photo3"), QStringLiteral("ALBUM")},
    });
    addTimeoutOption(line);
    addWaitOption(line);
    if (const auto status = line.parse(1, -1))
        return *status;
    const QCommandLineParser& parser = line.parser();
    std::optional<double> timeout;
    if (!readTimeout(parser, timeout))
        return 2;
    if (!line.isSet("device"))
        return line.usageError();
    // The album is stored in the settings the window shares: only a real album name goes there.
    QString album;
    if (line.isSet("album")) {
        album = albumNamed(line.value("album"));
        if (album.isEmpty())
            return line.usageError(QStringLiteral("--album przyjmuje Photo1, Photo2 albo Photo3."));
    }
    if (parser.positionalArguments().size() > 1) {
        const QString device = absolute(parser.value(option("device")));
        if (line.isSet("wait")) {
            Settings settings;
            StudioModel probe(settings, StudioModel::Work::oneShot);
            if (!album.isEmpty())
                probe.setSelectedFolder(album);
            waitForDevice(device, [&] {
                DeviceFinder::folderFor(ToviTransferKind::artwork, device, probe.selectedFolder());
            });
        }
        return sendRow(line, parser.positionalArguments(), album, device, timeout);
    }
    Settings settings;
    StudioModel model(settings, StudioModel::Work::oneShot);
    model.importMedia(QUrl::fromLocalFile(absolute(parser.positionalArguments().constFirst())));
    waitWhileBusy(model);
    if (!model.error().isEmpty())
        return failed(model.error());
    // The window keeps its private copy for the next change; a one-shot command has none.
    const QString copy = model.media()->url.toLocalFile();
    const auto removeCopy = qScopeGuard([&] { QFile::remove(copy); });
    if (!applySendOptions(parser, album, model))
        return 2;
    const QString device = absolute(parser.value(option("device")));
    if (line.isSet("wait"))
        waitForDevice(device, [&] {
            DeviceFinder::folderFor(ToviTransferKind::artwork, device, model.selectedFolder());
        });
    model.chooseDestination(device);
    if (!model.error().isEmpty())
        return failed(model.error());

    const MediaProcessor::ExportProgress shown = terminalProgress(QStringLiteral("Eksport"));
    if (shown)
        QObject::connect(&model, &StudioModel::exportProgress,
                         [&](int done, int total) { shown(done, total); });
    reportStalls(model, timeout);
    // Leftovers of an interrupted write removed from the album are told as they go.
    QObject::connect(&model, &StudioModel::messageChanged, &model, [&model] {
        if (model.busy() && DeviceLayout::isLeftoversRemovedText(model.message()))
            err() << model.message() << '\n' << Qt::flush;
    });
    model.prepare(true);
    waitWhileBusy(model);
    if (!model.error().isEmpty())
        return failed(model.error());
    QTextStream(stdout) << model.message() << '\n';
    return 0;
}

int cards(CommandLine& line) {
    line.add({
        {option("pack"), QStringLiteral("identyfikator zestawu (tovi packs)"),
         QStringLiteral("ID")},
        {option("animation"), QStringLiteral("reveal, spin albo still"), QStringLiteral("A")},
        {option("out"), QStringLiteral("folder na sześć plików"), QStringLiteral("FOLDER")},
        {option("device"), QStringLiteral("dysk Tovi albo jego folder Game1"),
         QStringLiteral("ŚCIEŻKA")},
    });
    addTimeoutOption(line);
    addWaitOption(line);
    if (const auto status = line.parse(0))
        return *status;
    const QCommandLineParser& parser = line.parser();
    std::optional<double> timeout;
    if (!readTimeout(parser, timeout))
        return 2;
    if (!line.isSet("pack") || line.isSet("out") == line.isSet("device"))
        return line.usageError();
    if (line.isSet("wait") && !line.isSet("device"))
        return line.usageError(QStringLiteral("--wait działa tylko z --device."));
    PackReveal animation = PackReveal::reveal;
    if (!readAnimation(parser, animation))
        return 2;
    Settings settings;
    PacksModel model(settings);
    if (!model.error().isEmpty())
        return failed(model.error());
    const QString id = parser.value(option("pack"));
    model.selectPack(id);
    if (model.selectedID() != id) {
        err() << "tovi: nie ma zestawu „" << id << "”. Listę pokazuje tovi packs.\n";
        return 2;
    }
    model.setAnimation(animation);
    if (line.isSet("wait")) {
        const QString device = absolute(parser.value(option("device")));
        waitForDevice(device,
                      [&] { DeviceFinder::folderFor(ToviTransferKind::cards, device, {}); });
    }
    return runPrepare(model, parser.value(option("device")), false, parser.value(option("out")),
                      timeout);
}

int restoreFactory(CommandLine& line) {
    line.add({{option("device"), QStringLiteral("dysk Tovi albo jego folder Game1"),
               QStringLiteral("ŚCIEŻKA")}});
    addTimeoutOption(line);
    if (const auto status = line.parse(0))
        return *status;
    std::optional<double> timeout;
    if (!readTimeout(line.parser(), timeout))
        return 2;
    if (!line.isSet("device"))
        return line.usageError();
    Settings settings;
    PacksModel model(settings);
    if (!model.pack())
        return failed(model.error());
    return runPrepare(model, line.value("device"), true, {}, timeout);
}

} // namespace tovi::cli
