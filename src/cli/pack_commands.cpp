// The user's own packs from the command line, through the library as the window keeps them:
// list, save the current edits, import and export a pack file, rename, delete and restore.

#include "cli_support.h"
#include "commands.h"

#include "app/settings.h"
#include "app/tovi_error.h"
#include "app/working_folder.h"
#include "packs/own_pack_library.h"
#include "packs/own_pack_store.h"
#include "packs/pack_file.h"
#include "packs/packs_model.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <functional>
#include <optional>

namespace tovi::cli {
namespace {

// Runs one change of `library` started by `start` to its end: prints what it did, then `more`.
template <typename Result>
int finish(OwnPackLibrary& library, const std::function<void(OwnPackLibrary::Done<Result>)>& start,
           const std::function<void(QTextStream&, const Result&)>& more = {}) {
    std::optional<Outcome<Result>> outcome;
    start([&](const Outcome<Result>& done) { outcome = done; });
    waitWhileBusy(library);
    if (!outcome || !outcome->ok())
        return failed(outcome ? outcome->error : QStringLiteral("Nie udało się."));
    QTextStream out(stdout);
    out << OwnPackLibrary::text(*outcome->value) << '\n';
    if (more)
        more(out, *outcome->value);
    return 0;
}

// The library on its own: changes of the store need neither the previews nor the edits.
struct Library {
    Library() { library.open(StarterPack::load(ResourceBundle::main())); }
    OwnPackLibrary library;
};

void printId(QTextStream& out, const QString& id) {
    out << "Identyfikator: " << id << '\n';
}

} // namespace

int packs(CommandLine& line) {
    if (const auto status = line.parse(0))
        return *status;
    try {
        QTextStream out(stdout);
        // The collection's order: the user's own first, marked in a third column, the damaged
        // with what is wrong.
        const OwnPackStore::Listing own = OwnPackStore::load();
        for (const OwnPack& pack : own.packs)
            out << pack.id << '\t' << pack.content.name << '\t' << "mój zestaw" << '\n';
        for (const OwnPackStore::Damaged& damaged : own.damaged)
            out << damaged.id << '\t'
                << (damaged.name.isEmpty() ? QStringLiteral("Zestaw bez nazwy") : damaged.name)
                << '\t' << "uszkodzony: " << damaged.reason << '\n';
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
    const QString id = line.isSet("pack") ? line.value("pack") : model.selectedID();
    PackContent content;
    try {
        content = model.content(id);
    } catch (const OwnPackError& error) {
        if (error.kind() == OwnPackError::unknownPack)
            return line.usageError(
                QStringLiteral("nie ma zestawu „%1”. Listę pokazuje tovi packs.").arg(id));
        return failed(error.message());
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    content.name = line.value("name");
    return finish<OwnPackLibrary::Saved>(
        model.library(), [&](auto done) { model.library().save(content, done); },
        [](QTextStream& out, const OwnPackLibrary::Saved& saved) { printId(out, saved.id); });
}

int importPack(CommandLine& line) {
    if (const auto status = line.parse(1))
        return *status;
    try {
        Library own;
        const QString file = QFileInfo(line.positional().constFirst()).absoluteFilePath();
        return finish<OwnPackLibrary::Imported>(
            own.library, [&](auto done) { own.library.importFile(file, done); },
            [](QTextStream& out, const OwnPackLibrary::Imported& imported) {
                printId(out, imported.id);
            });
    } catch (const ToviError& error) {
        return failed(error.message());
    }
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
    PackContent content;
    try {
        content = model.content(line.positional().constFirst());
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    QString file = QFileInfo(line.value("output")).absoluteFilePath();
    if (QFileInfo(file).isDir())
        file = QDir(file).filePath(PackFile::suggestedFileName(content.name));
    return finish<OwnPackLibrary::Exported>(
        model.library(), [&](auto done) { model.library().exportPack(content, file, done); });
}

int renamePack(CommandLine& line) {
    line.add(
        {{QStringLiteral("name"), QStringLiteral("nowa nazwa zestawu"), QStringLiteral("NAZWA")}});
    if (const auto status = line.parse(1))
        return *status;
    if (!line.isSet("name"))
        return line.usageError();
    try {
        Library own;
        return finish<OwnPackLibrary::Renamed>(own.library, [&](auto done) {
            own.library.rename(line.positional().constFirst(), line.value("name"), done);
        });
    } catch (const ToviError& error) {
        return failed(error.message());
    }
}

int deletePack(CommandLine& line) {
    if (const auto status = line.parse(1))
        return *status;
    try {
        Library own;
        return finish<OwnPackLibrary::Removed>(
            own.library,
            [&](auto done) { own.library.remove(line.positional().constFirst(), done); },
            [](QTextStream& out, const OwnPackLibrary::Removed& removed) {
                out << "Folder: " << removed.folder << '\n';
            });
    } catch (const ToviError& error) {
        return failed(error.message());
    }
}

int restorePack(CommandLine& line) {
    if (const auto status = line.parse(0, 1))
        return *status;
    try {
        // Without a folder: what can be brought back, by the folder's name in the removed items.
        if (line.positional().isEmpty()) {
            QTextStream out(stdout);
            for (const OwnPackStore::Removed& removed : OwnPackStore::removed())
                out << QFileInfo(removed.folder).fileName() << '\t' << removed.name << '\n';
            return 0;
        }
        const QString given = line.positional().constFirst();
        QString folder = given.contains(QLatin1Char('/'))
                             ? QFileInfo(given).absoluteFilePath()
                             : QDir(WorkingFolder::removedPacks()).filePath(given);
        // A pack deleted by an earlier version lies among the removed pictures.
        if (!given.contains(QLatin1Char('/')) && !QFileInfo::exists(folder))
            folder = QDir(WorkingFolder::removedItems()).filePath(given);
        Library own;
        return finish<OwnPackLibrary::Restored>(
            own.library, [&](auto done) { own.library.restore(folder, done); },
            [](QTextStream& out, const OwnPackLibrary::Restored& restored) {
                printId(out, restored.id);
            });
    } catch (const ToviError& error) {
        return failed(error.message());
    }
}

} // namespace tovi::cli
