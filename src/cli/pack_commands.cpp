// The user's own packs from the command line, through the packs model as the window keeps them:
// list, save the current edits, import and export a pack file.

#include "cli_support.h"
#include "commands.h"

#include "app/settings.h"
#include "app/tovi_error.h"
#include "packs/own_pack_store.h"
#include "packs/pack_file.h"
#include "packs/packs_model.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace tovi::cli {
namespace {

// Runs one own-pack operation of `model` to its end; prints its message and the pack's id.
int finish(PacksModel& model, bool printId) {
    waitWhileBusy(model);
    // A failure leaves no message; a preview rendering may report its own error meanwhile.
    if (model.message().isEmpty())
        return failed(model.error().isEmpty() ? QStringLiteral("Nie udało się.") : model.error());
    QTextStream out(stdout);
    out << model.message() << '\n';
    if (printId)
        out << "Identyfikator: " << model.selectedID() << '\n';
    return 0;
}

} // namespace

int packs(CommandLine& line) {
    if (const auto status = line.parse(0))
        return *status;
    try {
        QTextStream out(stdout);
        // The collection's order: the user's own first, marked in a third column.
        for (const OwnPack& own : OwnPackStore::load())
            out << own.id << '\t' << own.content.name << '\t' << "mój zestaw" << '\n';
        for (const StarterPack& pack : StarterPack::load(ResourceBundle::main()))
            out << pack.id << '\t' << pack.name << '\n';
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    return 0;
}

int savePack(CommandLine& line) {
    line.add({
        {QStringLiteral("name"), QStringLiteral("nazwa nowego zestawu"), QStringLiteral("NAZWA")},
        {QStringLiteral("pack"),
         QStringLiteral("zestaw, którego karty zapisać (domyślnie wybrany w oknie)"),
         QStringLiteral("ID")},
    });
    if (const auto status = line.parse(0))
        return *status;
    if (!line.isSet("name"))
        return line.usageError();
    Settings settings;
    PacksModel model(settings);
    if (!model.pack())
        return failed(model.error());
    if (line.isSet("pack")) {
        model.selectPack(line.value("pack"));
        if (model.selectedID() != line.value("pack"))
            return line.usageError(QStringLiteral("nie ma zestawu „%1”. Listę pokazuje tovi packs.")
                                       .arg(line.value("pack")));
    }
    model.saveOwnPack(line.value("name"));
    return finish(model, true);
}

// Straight into the store: an import needs neither the previews nor the window's selection.
int importPack(CommandLine& line) {
    if (const auto status = line.parse(1))
        return *status;
    try {
        QSet<QString> reserved;
        for (const StarterPack& pack : StarterPack::load(ResourceBundle::main()))
            reserved.insert(pack.id);
        const OwnPack pack = OwnPackStore::importFile(
            QFileInfo(line.positional().constFirst()).absoluteFilePath(), reserved);
        QTextStream(stdout) << PacksModel::importedText(pack.content.name) << '\n'
                            << "Identyfikator: " << pack.id << '\n';
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    return 0;
}

int exportPack(CommandLine& line) {
    line.add({{{QStringLiteral("o"), QStringLiteral("output")},
               QStringLiteral("plik zestawu albo folder, w którym go zapisać"),
               QStringLiteral("PLIK")}});
    if (const auto status = line.parse(1))
        return *status;
    if (!line.isSet("output"))
        return line.usageError();
    Settings settings;
    PacksModel model(settings);
    if (!model.error().isEmpty())
        return failed(model.error());
    const QString id = line.positional().constFirst();
    QString file = QFileInfo(line.value("output")).absoluteFilePath();
    if (QFileInfo(file).isDir()) {
        try {
            file = QDir(file).filePath(PackFile::suggestedFileName(model.content(id).name));
        } catch (const ToviError& error) {
            return failed(error.message());
        }
    }
    model.exportPack(id, file);
    return finish(model, false);
}

} // namespace tovi::cli
