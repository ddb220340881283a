#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/polish_count.h"
#include "app/polish_format.h"
#include "app/tovi_error.h"
#include "media/fit_suggestions.h"
#include "media/image_source.h"
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

void addOutputOption(CommandLine& line) {
    line.add({{{QStringLiteral("o"), QStringLiteral("output")},
               QStringLiteral("plik wynikowy"),
               QStringLiteral("OUT")}});
}

// One input file and -o.
std::optional<int> parse(CommandLine& line) {
    if (const auto status = line.parse(1))
        return status;
    if (!line.isSet("o"))
        return line.usageError();
    return std::nullopt;
}

int save(const QString& path, const QByteArray& bytes) {
    atomicWrite(QFileInfo(path).absoluteFilePath(), bytes);
    return 0;
}

// What an export would write, said and not written: 0 when it fits, 1 when it does not, and
// then what would fit, one line each.
int sizeOnly(const MediaInfo& media, const ExportOptions& options,
             const MediaProcessor::ExportProgress& progress) {
    const QByteArray bytes = MediaProcessor::encoded(media, options, progress);
    QTextStream out(stdout);
    if (options.format == OutputFormat::jpg) {
        out << PolishFormat::fittingMegabytes(bytes.size()) << '\n';
        return 0;
    }
    out << PolishFormat::sizeOfLimit(bytes.size(), MediaProcessor::maxGifBytes) << '\n';
    if (bytes.size() <= MediaProcessor::maxGifBytes)
        return 0;
    out.flush(); // the size first: the suggestions take a few more encodes
    const FitSuggestions found = fitSuggestions(media, options, bytes.size(), progress);
    if (found.fps)
        out << PolishFormat::suggestionAtFps(found.fps->options.fps, found.fps->bytes) << '\n';
    if (found.length)
        out << PolishFormat::suggestionAtLength(found.length->options.length, found.length->bytes)
            << '\n';
    return 1;
}

} // namespace

int exportGraphic(CommandLine& line) {
    addOutputOption(line);
    addExportOptions(line);
    line.add({{option("dry-run"),
               QStringLiteral("pokazuje rozmiar, nie zapisując pliku; gdy GIF się nie mieści, "
                              "także najwyższą liczbę klatek na sekundę i najdłuższy "
                              "fragment, które się zmieszczą")}});
    if (const auto status = line.parse(1))
        return *status;
    const bool dryRun = line.isSet("dry-run");
    if (!dryRun && !line.isSet("o"))
        return line.usageError();
    const QCommandLineParser& parser = line.parser();
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
        const MediaProcessor::ExportProgress progress = [&](int done, int total) {
            frames = total;
            return !shown || shown(done, total);
        };
        if (dryRun)
            return sizeOnly(media, options, progress);
        const QByteArray bytes = MediaProcessor::exportMedia(media, options, progress);
        save(parser.value(QStringLiteral("o")), bytes);
        QTextStream(stdout) << parser.value(QStringLiteral("o")) << ": "
                            << PolishCount::frames(frames) << ", "
                            << PolishCount::bytes(bytes.size()) << ", "
                            << QString::number(double(timer.elapsed()) / 1000.0, 'f', 2) << " s\n";
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    return 0;
}

int card(CommandLine& line) {
    addOutputOption(line);
    addCropOptions(line);
    line.add({
        {option("slot"), QStringLiteral("miejsce karty 0–5 (karty 1–6)"), QStringLiteral("N")},
        {option("animation"), QStringLiteral("reveal, spin albo still"), QStringLiteral("A")},
        {option("captions"), QStringLiteral("rysuj podpisy i numer karty")},
    });
    if (const auto status = parse(line))
        return *status;
    const QCommandLineParser& parser = line.parser();
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
        // Counted from what was written: the encoder may merge frames that look alike.
        const auto written = ImageSource::fromData(bytes);
        QTextStream(stdout) << parser.value(QStringLiteral("o")) << ": "
                            << PolishCount::frames(written ? written->frameCount() : 0) << ", "
                            << PolishCount::bytes(bytes.size()) << "\n";
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace tovi::cli
