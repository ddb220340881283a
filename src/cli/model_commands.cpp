// The commands that do what the window does, through the same two models: the same checks,
// files, settings and messages.

#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/settings.h"
#include "app/tovi_error.h"
#include "device/device_layout.h"
#include "device/game1_installer.h"
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

bool parse(QCommandLineParser& parser, const QStringList& arguments, qsizetype positionals,
           const char* usage) {
    if (!parser.parse(QStringList{QStringLiteral("tovi")} + arguments) ||
        parser.positionalArguments().size() != positionals) {
        if (!parser.errorText().isEmpty())
            err() << "tovi: " << parser.errorText() << '\n';
        err() << "Użycie: tovi " << usage << '\n';
        return false;
    }
    return true;
}

QString absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

int failed(const QString& error) {
    err() << "tovi: " << error << '\n';
    return 1;
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

} // namespace

int send(const QStringList& arguments) {
    QCommandLineParser parser;
    addExportOptions(parser);
    parser.addOptions({
        {option("device"), QStringLiteral("dysk Tovi albo jego album"), QStringLiteral("PATH")},
        {option("album"), QStringLiteral("Photo1, Photo2 albo Photo3"), QStringLiteral("ALBUM")},
    });
    addTimeoutOption(parser);
    const char* usage = "send PLIK --device ŚCIEŻKA [--album Photo1|Photo2|Photo3] "
                        "[--timeout SEKUNDY] [opcje jak w tovi export]";
    std::optional<double> timeout;
    if (!parse(parser, arguments, 1, usage) || !readTimeout(parser, timeout))
        return 2;
    if (!parser.isSet(option("device"))) {
        err() << "Użycie: tovi " << usage << '\n';
        return 2;
    }
    Settings settings;
    StudioModel model(settings);
    model.importMedia(QUrl::fromLocalFile(absolute(parser.positionalArguments().constFirst())));
    waitWhileBusy(model);
    if (!model.error().isEmpty())
        return failed(model.error());
    // The window keeps its private copy for the next change; a one-shot command has none.
    const QString copy = model.media()->url.toLocalFile();
    const auto removeCopy = qScopeGuard([&] { QFile::remove(copy); });
    ExportOptions options = model.options();
    if (!readExportOptions(parser, options))
        return 2;
    model.setOptions(options);
    if (parser.isSet(option("album")))
        model.setSelectedFolder(parser.value(option("album")));
    model.chooseDestination(absolute(parser.value(option("device"))));
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

int cards(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOptions({
        {option("pack"), QStringLiteral("identyfikator zestawu (tovi packs)"),
         QStringLiteral("ID")},
        {option("animation"), QStringLiteral("reveal, spin albo still"), QStringLiteral("A")},
        {option("out"), QStringLiteral("folder na sześć plików"), QStringLiteral("DIR")},
        {option("device"), QStringLiteral("dysk Tovi albo jego folder Game1"),
         QStringLiteral("PATH")},
    });
    addTimeoutOption(parser);
    const char* usage = "cards --pack ID [--animation reveal|spin|still] (--out FOLDER | --device "
                        "ŚCIEŻKA [--timeout SEKUNDY])";
    std::optional<double> timeout;
    if (!parse(parser, arguments, 0, usage) || !readTimeout(parser, timeout))
        return 2;
    if (!parser.isSet(option("pack")) ||
        parser.isSet(option("out")) == parser.isSet(option("device"))) {
        err() << "Użycie: tovi " << usage << '\n';
        return 2;
    }
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
    return runPrepare(model, parser.value(option("device")), false, parser.value(option("out")),
                      timeout);
}

int restoreFactory(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOption({option("device"), QStringLiteral("dysk Tovi albo jego folder Game1"),
                      QStringLiteral("PATH")});
    addTimeoutOption(parser);
    const char* usage = "restore-factory --device ŚCIEŻKA [--timeout SEKUNDY]";
    std::optional<double> timeout;
    if (!parse(parser, arguments, 0, usage) || !readTimeout(parser, timeout))
        return 2;
    if (!parser.isSet(option("device"))) {
        err() << "Użycie: tovi " << usage << '\n';
        return 2;
    }
    Settings settings;
    PacksModel model(settings);
    if (!model.pack())
        return failed(model.error());
    return runPrepare(model, parser.value(option("device")), true, {}, timeout);
}

int packs(const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        err() << "Użycie: tovi packs\n";
        return 2;
    }
    try {
        QTextStream out(stdout);
        for (const StarterPack& pack : StarterPack::load(ResourceBundle::main()))
            out << pack.id << '\t' << pack.name << '\n';
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    return 0;
}

} // namespace tovi::cli
