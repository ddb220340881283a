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

void addCropOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {option("zoom"), QStringLiteral("powiększenie 1…3"), QStringLiteral("Z")},
        {option("x"), QStringLiteral("położenie poziome −1…1"), QStringLiteral("X")},
        {option("y"), QStringLiteral("położenie pionowe −1…1"), QStringLiteral("Y")},
        {option("title"), QStringLiteral("pierwszy wiersz podpisu"), QStringLiteral("T")},
        {option("subtitle"), QStringLiteral("drugi wiersz podpisu"), QStringLiteral("S")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("plik wynikowy"),
         QStringLiteral("OUT")},
    });
}

bool readCrop(const QCommandLineParser& parser, CropSettings& crop) {
    return readNumber(parser, "zoom", crop.zoom) && readNumber(parser, "x", crop.x) &&
           readNumber(parser, "y", crop.y);
}

// Progress on a terminal only: a pipe or a log gets just the result.
MediaProcessor::ExportProgress terminalProgress(const QString& what) {
    if (!::isatty(STDERR_FILENO))
        return {};
    return [what](int done, int total) {
        err() << '\r' << what << ": " << done << " / " << total << " klatek" << Qt::flush;
        if (done == total)
            err() << "\r\033[K" << Qt::flush;
        return true;
    };
}

int save(const QString& path, const QByteArray& bytes) {
    atomicWrite(QFileInfo(path).absoluteFilePath(), bytes);
    return 0;
}

} // namespace

int exportGraphic(const QStringList& arguments) {
    QCommandLineParser parser;
    addCropOptions(parser);
    parser.addOptions({
        {option("format"), QStringLiteral("gif albo jpg"), QStringLiteral("FORMAT")},
        {option("start"), QStringLiteral("początek fragmentu w sekundach"), QStringLiteral("S")},
        {option("length"), QStringLiteral("długość fragmentu w sekundach"), QStringLiteral("L")},
        {option("fps"), QStringLiteral("klatki na sekundę (1–12)"), QStringLiteral("N")},
        {option("rotate"), QStringLiteral("obrót zamiast fragmentu")},
        {option("turn"), QStringLiteral("czas pełnego obrotu w sekundach"),
         QStringLiteral("SECONDS")},
        {option("ccw"), QStringLiteral("obrót w lewo")},
    });
    const char* usage = "export PLIK -o OUT [--format gif|jpg] [--start S] [--length L] [--fps N] "
                        "[--zoom Z] [--x X] [--y Y] [--rotate] [--turn SEKUNDY] [--ccw] "
                        "[--title T] [--subtitle S]";
    if (!parse(parser, arguments, usage))
        return 2;
    try {
        const QUrl url = QUrl::fromLocalFile(
            QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath());
        const MediaInfo media = MediaProcessor::inspect(url);
        // What the studio sets after an import, then what was asked for.
        ExportOptions options;
        options.format = media.animated ? OutputFormat::gif : OutputFormat::jpg;
        options.length = std::min(4.0, media.duration);
        if (parser.isSet(option("format"))) {
            const QString format = parser.value(option("format")).toLower();
            if (format != QStringLiteral("gif") && format != QStringLiteral("jpg")) {
                err() << "tovi: --format przyjmuje gif albo jpg.\n";
                return 2;
            }
            options.format =
                format == QStringLiteral("gif") ? OutputFormat::gif : OutputFormat::jpg;
        }
        double fps = options.fps;
        if (!readNumber(parser, "start", options.start) ||
            !readNumber(parser, "length", options.length) || !readNumber(parser, "fps", fps) ||
            !readNumber(parser, "turn", options.rotationSeconds) || !readCrop(parser, options.crop))
            return 2;
        options.fps = static_cast<int>(std::clamp(fps, -1.0, 1000.0));
        options.rotation = parser.isSet(option("rotate"));
        if (options.rotation && !parser.isSet(option("format")))
            options.format = OutputFormat::gif;
        options.clockwise = !parser.isSet(option("ccw"));
        options.captionTitle = parser.value(option("title"));
        options.captionSubtitle = parser.value(option("subtitle"));
        options.captions = parser.isSet(option("title")) || parser.isSet(option("subtitle"));

        QElapsedTimer timer;
        timer.start();
        int frames = 1;
        const MediaProcessor::ExportProgress shown = terminalProgress(QStringLiteral("Eksport"));
        const QByteArray bytes =
            MediaProcessor::exportMedia(url, options, [&](int done, int total) {
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
    const QString name = parser.value(option("animation"));
    if (name == QStringLiteral("spin"))
        animation = PackReveal::spin;
    else if (name == QStringLiteral("still"))
        animation = PackReveal::still;
    else if (!name.isEmpty() && name != QStringLiteral("reveal")) {
        err() << "tovi: --animation przyjmuje reveal, spin albo still.\n";
        return 2;
    }
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
