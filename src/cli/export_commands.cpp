#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "media/media_processor.h"
#include "packs/pack_renderer.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <cmath>
#include <unistd.h>

namespace tovi::cli {
namespace {

QString option(const char* name) {
    return QString::fromLatin1(name);
}

bool parse(QCommandLineParser& parser, const QStringList& arguments, const char* usage) {
    if (!parser.parse(QStringList{QStringLiteral("tovi")} + arguments) ||
        parser.positionalArguments().size() != 1 || !parser.isSet(QStringLiteral("o"))) {
        if (!parser.errorText().isEmpty())
            err() << "tovi: " << parser.errorText() << '\n';
        err() << "Użycie: tovi " << usage << '\n';
        return false;
    }
    return true;
}

void addOutputOption(QCommandLineParser& parser) {
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("plik wynikowy"),
                      QStringLiteral("OUT")});
}

int save(const QString& path, const QByteArray& bytes) {
    atomicWrite(QFileInfo(path).absoluteFilePath(), bytes);
    return 0;
}

} // namespace

int exportGraphic(const QStringList& arguments) {
    QCommandLineParser parser;
    addOutputOption(parser);
    addExportOptions(parser);
    const char* usage = "export PLIK -o OUT [--format gif|jpg] [--start S] [--length L] [--fps N] "
                        "[--zoom Z] [--x X] [--y Y] [--rotate] [--turn SEKUNDY] [--ccw] "
                        "[--title T] [--subtitle S]";
    if (!parse(parser, arguments, usage))
        return 2;
    try {
        const QUrl url = QUrl::fromLocalFile(
            QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath());
        // Decoding starts with the export: a video's first frame is not needed to set it up.
        const MediaInfo media = MediaProcessor::describe(url);
        // What the studio sets after an import, then what was asked for.
        ExportOptions options;
        options.format = media.animated ? OutputFormat::gif : OutputFormat::jpg;
        options.length = std::min(4.0, media.duration);
        if (!readExportOptions(parser, options))
            return 2;

        QElapsedTimer timer;
        timer.start();
        int frames = 1;
        const MediaProcessor::ExportProgress shown = terminalProgress(QStringLiteral("Eksport"));
        const QByteArray bytes =
            MediaProcessor::exportMedia(media, options, [&](int done, int total) {
                frames = total;
                return !shown || shown(done, total);
            });
        save(parser.value(QStringLiteral("o")), bytes);
        QTextStream(stdout) << parser.value(QStringLiteral("o")) << ": " << frames
                            << (frames == 1 ? " klatka, " : " klatek, ") << bytes.size()
                            << " bajtów, "
                            << QString::number(double(timer.elapsed()) / 1000.0, 'f', 2) << " s\n";
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    return 0;
}

int card(const QStringList& arguments) {
    QCommandLineParser parser;
    addOutputOption(parser);
    addCropOptions(parser);
    parser.addOptions({
        {option("slot"), QStringLiteral("miejsce karty 0–5 (karty 1–6)"), QStringLiteral("N")},
        {option("animation"), QStringLiteral("reveal, spin albo still"), QStringLiteral("A")},
        {option("captions"), QStringLiteral("rysuj podpisy i numer karty")},
    });
    const char* usage = "card OBRAZ -o OUT.gif --slot N [--animation reveal|spin|still] "
                        "[--title T] [--subtitle S] [--captions] [--zoom Z --x X --y Y]";
    if (!parse(parser, arguments, usage))
        return 2;
    bool slotOk = false;
    const int slot = parser.value(option("slot")).toInt(&slotOk);
    if (!slotOk || slot < 0 || slot > 5) {
        err() << "tovi: --slot przyjmuje liczbę od 0 do 5.\n";
        return 2;
    }
    PackReveal animation = PackReveal::reveal;
    if (!readAnimation(parser, animation))
        return 2;
    PackCardEdit edit;
    edit.title = parser.value(option("title"));
    edit.subtitle = parser.value(option("subtitle"));
    edit.captions = parser.isSet(option("captions"));
    if (!readCrop(parser, edit.crop))
        return 2;
    try {
        const QUrl url = QUrl::fromLocalFile(
            QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath());
        const QByteArray bytes =
            PackRenderer::gif(PackRenderer::image(url, edit, slot), slot, animation);
        save(parser.value(QStringLiteral("o")), bytes);
        QTextStream(stdout) << parser.value(QStringLiteral("o")) << ": 14 klatek, " << bytes.size()
                            << " bajtów\n";
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace tovi::cli
