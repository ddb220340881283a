#include "commands.h"

#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct Command {
    std::function<int(const QStringList&)> run;
    const char* usage;
};

const std::map<QString, Command>& commands() {
    static const std::map<QString, Command> table{
        {QStringLiteral("inspect"), {tovi::cli::inspect, "inspect FILE…"}},
        {QStringLiteral("frame"),
         {tovi::cli::frame, "frame FILE --time T [--zoom Z --x X --y Y] --size N -o OUT.png"}},
        {QStringLiteral("export"),
         {tovi::cli::exportGraphic,
          "export FILE -o OUT [--format gif|jpg] [--start S] [--length L] [--fps N] [--zoom Z] "
          "[--x X] [--y Y] [--rotate] [--turn SECONDS] [--ccw] [--title T] [--subtitle S]"}},
        {QStringLiteral("card"),
         {tovi::cli::card, "card IMAGE -o OUT.gif --slot N [--animation reveal|spin|still] "
                           "[--title T] [--subtitle S] [--captions] [--zoom Z --x X --y Y]"}},
        {QStringLiteral("install-cards"),
         {tovi::cli::installCards,
          "install-cards DIR --device PATH [--backups DIR] [--timeout SEKUNDY]"}},
        {QStringLiteral("verify-backup"), {tovi::cli::verifyBackup, "verify-backup BACKUP_DIR"}},
        {QStringLiteral("restore-backup"),
         {tovi::cli::restoreBackup,
          "restore-backup BACKUP_DIR --device PATH [--backups DIR] [--timeout SEKUNDY]"}},
        {QStringLiteral("send"),
         {tovi::cli::send, "send FILE --device PATH [--album Photo1|Photo2|Photo3] "
                           "[--timeout SEKUNDY] [opcje jak w tovi export]"}},
        {QStringLiteral("cards"),
         {tovi::cli::cards,
          "cards --pack ID [--animation reveal|spin|still] (--out DIR | --device PATH "
          "[--timeout SEKUNDY])"}},
        {QStringLiteral("restore-factory"),
         {tovi::cli::restoreFactory, "restore-factory --device PATH [--timeout SEKUNDY]"}},
        {QStringLiteral("packs"), {tovi::cli::packs, "packs"}},
        {QStringLiteral("eject"), {tovi::cli::eject, "eject --device PATH"}},
    };
    return table;
}

int usage(FILE* stream) {
    QTextStream out(stream);
    out << "Użycie: tovi POLECENIE [ARGUMENTY]\n\nPolecenia:\n";
    for (const auto& [name, command] : commands())
        out << "  tovi " << command.usage << '\n';
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
    // Text and pictures are drawn without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("ToviStudio"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));

    QStringList arguments = QGuiApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usage(stderr);
    const QString name = arguments.takeFirst();
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h"))
        return usage(stdout);
    if (name == QStringLiteral("--version")) {
        QTextStream(stdout) << "tovi " << TOVI_VERSION << '\n';
        return 0;
    }
    const auto found = commands().find(name);
    if (found == commands().end()) {
        QTextStream(stderr) << "tovi: nieznane polecenie „" << name << "”.\n\n";
        return usage(stderr);
    }
    return found->second.run(arguments);
}
