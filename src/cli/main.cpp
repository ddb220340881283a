#include "app/polish_language.h"
#include "command_line.h"
#include "commands.h"

#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Command {
    const char* name;
    int (*run)(tovi::cli::CommandLine&);
    const char* usage;
    const char* summary;
};

// In the order `tovi --help` lists them: media first, then the device.
const std::vector<Command>& commands() {
    using namespace tovi::cli;
    static const std::vector<Command> table{
        {"inspect", inspect, "inspect [--json] PLIK…",
         "rodzaj, wymiary, liczba klatek i czas trwania każdego pliku"},
        {"frame", frame, "frame PLIK --time T [--zoom Z --x X --y Y] --size N -o OUT.png",
         "jedna kadrowana klatka jako obraz PNG"},
        {"export", exportGraphic,
         "export PLIK -o OUT|--dry-run [--format gif|jpg] [--start S] [--length L] [--fps N] "
         "[--reverse|--bounce] [--speed X] [--zoom Z] [--x X] [--y Y] [--rotate] "
         "[--turn SEKUNDY] [--ccw] [--title T] [--subtitle S]",
         "grafika 240 × 240 (GIF albo JPEG) taka, jaką zrobiłoby okno"},
        {"card", card,
         "card OBRAZ -o OUT.gif --slot N [--animation reveal|spin|still] [--title T] "
         "[--subtitle S] [--captions] [--zoom Z --x X --y Y]",
         "jedna karta losowanej kostki jako GIF"},
        {"send", send,
         "send PLIK… --device ŚCIEŻKA [--album Photo1|Photo2|Photo3] [--timeout SEKUNDY] [--wait] "
         "[opcje jak w tovi export]",
         "dodaje do albumu na Tovi jedną grafikę albo kilka, tak jak okno"},
        {"ls", ls, "ls --device ŚCIEŻKA [--json] [--timeout SEKUNDY] [--wait]",
         "pliki w albumach Tovi, karty Game1 i wolne miejsce"},
        {"rm", rm, "rm --device ŚCIEŻKA [--timeout SEKUNDY] [--wait] PhotoN/PLIK…",
         "usuwa pliki z albumów Tovi, zostawiając ich sprawdzone kopie na komputerze"},
        {"packs", packs, "packs",
         "identyfikatory i nazwy zestawów kart: najpierw Twoich, potem gotowych"},
        {"save-pack", savePack, "save-pack --name NAZWA [--pack ID]",
         "zapisuje karty zestawu z Twoimi zmianami jako Twój zestaw"},
        {"export-pack", exportPack, "export-pack ID -o PLIK.tovipack",
         "zapisuje zestaw w jednym pliku .tovipack, by przekazać go innym"},
        {"import-pack", importPack, "import-pack PLIK.tovipack",
         "dodaje zestaw z pliku .tovipack do Twoich zestawów"},
        {"rename-pack", renamePack, "rename-pack ID --name NAZWA", "zmienia nazwę Twojego zestawu"},
        {"delete-pack", deletePack, "delete-pack ID",
         "przenosi Twój zestaw do folderu „Usunięte zestawy”, skąd można go przywrócić"},
        {"restore-pack", restorePack, "restore-pack [FOLDER]",
         "przywraca usunięty zestaw; bez FOLDERU pokazuje te, które można przywrócić"},
        {"cards", cards,
         "cards --pack ID [--animation reveal|spin|still] (--out FOLDER | --device ŚCIEŻKA "
         "[--timeout SEKUNDY] [--wait])",
         "sześć kart zestawu z Twoimi zmianami: do folderu albo na Tovi"},
        {"restore-factory", restoreFactory, "restore-factory --device ŚCIEŻKA [--timeout SEKUNDY]",
         "przywraca na Tovi fabryczną kostkę"},
        {"install-cards", installCards,
         "install-cards FOLDER --device ŚCIEŻKA [--backups FOLDER] [--timeout SEKUNDY] [--wait]",
         "wgrywa 1.gif–6.gif z folderu do Game1, z kopią poprzedniego zestawu"},
        {"verify-backup", verifyBackup, "verify-backup FOLDER_KOPII",
         "sprawdza kopię Game1 z jej manifest.json"},
        {"backups", backups, "backups [--backups FOLDER] [--json]",
         "kopie Game1, od najnowszej: data, pliki i stan każdej"},
        {"restore-backup", restoreBackup,
         "restore-backup FOLDER_KOPII --device ŚCIEŻKA [--backups FOLDER] [--timeout SEKUNDY]",
         "przywraca na Tovi zestaw z kopii"},
        {"eject", eject, "eject --device ŚCIEŻKA",
         "odmontowuje dysk Tovi i wyłącza go, by można było go odłączyć"},
    };
    return table;
}

// The commands one line each; every command explains itself with --help.
int usage(FILE* stream) {
    QTextStream out(stream);
    out << "Użycie: tovi POLECENIE [ARGUMENTY]\n"
           "       tovi POLECENIE --help\n\nPolecenia:\n";
    qsizetype width = 0;
    for (const Command& command : commands())
        width = std::max(width, qsizetype(qstrlen(command.name)));
    for (const Command& command : commands())
        out << "  " << QString::fromUtf8(command.name).leftJustified(width + 2)
            << QString::fromUtf8(command.summary) << '\n';
    out << "\nOpcje:\n  -h, --help  pokazuje tę pomoc\n  --version   pokazuje wersję\n";
    return stream == stdout ? 0 : 2;
}

// The tool's output is its own lines; Qt's diagnostics (for example about a missing runtime
// folder on a headless machine) would only clutter it. Real failures still abort loudly.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        QTextStream(stderr) << message << '\n';
}

} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(quietQtMessages);
    // Text and pictures are drawn without a display, whatever the desktop asks of Qt: under xcb,
    // Qt would take "--name" (save-pack's) as the X11 window name and drop it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Taken before the application sees them: it would keep "--reverse" (export's) for itself
    // as its layout direction, whatever the platform.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("ToviStudio"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));
    // The option parser's own messages ("Nieznana opcja…") in Polish too.
    tovi::PolishLanguage::install();

    if (arguments.isEmpty())
        return usage(stderr);
    const QString name = arguments.takeFirst();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h"))
        return usage(stdout);
    if (name == QStringLiteral("--version")) {
        QTextStream(stdout) << "tovi " << TOVI_VERSION << '\n';
        return 0;
    }
    const auto found = std::find_if(commands().begin(), commands().end(),
                                    [&](const Command& command) { return name == command.name; });
    if (found == commands().end()) {
        QTextStream(stderr) << "tovi: nieznane polecenie „" << name << "”.\n\n";
        return usage(stderr);
    }
    tovi::cli::CommandLine line(QString::fromUtf8(found->usage), arguments);
    return found->run(line);
}
