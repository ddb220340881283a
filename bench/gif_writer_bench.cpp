// The encoding half of an export on its own: the 96 ideal 240 × 240 frames of the benchmark
// clip (8 s at 12 fps) through GifWriter, in order, as the decoder would hand them over; and a
// 14-frame card GIF (a fade-in from black, then a hold).
#include "device/game1_installer.h"
#include "media/gif_writer.h"
#include "media/media_processor.h"
#include "packs/pack_renderer.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

QString referenceDir() {
    return qEnvironmentVariable("TOVI_BENCH_REF", QStringLiteral("/tmp/tovi-bench/ref"));
}

const std::vector<QImage>& referenceFrames() {
    static const std::vector<QImage> frames = [] {
        const QDir dir(referenceDir());
        std::vector<QImage> images;
        for (const QString& name :
             dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
            images.push_back(QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32));
        return images;
    }();
    return frames;
}

// Writes the last result where TOVI_BENCH_GIF_OUT says, for bench/gif_quality_run.sh.
void keep(const QByteArray& gif, const char* suffix) {
    const QString path = qEnvironmentVariable("TOVI_BENCH_GIF_OUT");
    if (path.isEmpty())
        return;
    QFile file(path + QString::fromLatin1(suffix));
    if (!file.open(QIODevice::WriteOnly) || file.write(gif) != gif.size() || !file.flush())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
}

void encodeReferenceClip(benchmark::State& state) {
    const auto& frames = referenceFrames();
    QByteArray gif;
    for (auto _ : state) {
        // As the export writes them: a clip with the room a single graphic has.
        tovi::GifWriter writer(frames.front().size(),
                               {tovi::MediaProcessor::maxGifBytes, int(frames.size())});
        for (const QImage& frame : frames)
            writer.add(frame, 1.0 / 12);
        gif = writer.finish();
    }
    state.counters["bytes"] = static_cast<double>(gif.size());
    state.counters["frames"] = static_cast<double>(frames.size());
    keep(gif, "");
}

// A card GIF as the six-card editor installs it: the first reference frame with its captions
// and number, then the reveal (a fade from black) or the spin, then the hold.
void encodeCardGif(benchmark::State& state) {
    const auto animation = static_cast<tovi::PackReveal>(state.range(0));
    tovi::PackCardEdit edit;
    edit.title = QStringLiteral("Wieczorny spacer");
    edit.subtitle = QStringLiteral("Karta z kolekcji");
    edit.captions = true;
    const QImage card = tovi::PackRenderer::image(referenceFrames().front(), edit, 2, 240);
    QByteArray gif;
    for (auto _ : state)
        gif = tovi::PackRenderer::gif(card, 2, animation);
    state.counters["bytes"] = static_cast<double>(gif.size());
    state.SetLabel(tovi::rawValue(animation).toStdString());
    keep(gif, animation == tovi::PackReveal::spin ? ".spin.gif" : ".card.gif");
}

// The six cards of a starter pack as an installation prepares them: each picture with its
// captions and number, and its GIF with the reveal, then the strict check of the set.
void prepareSixCards(benchmark::State& state) {
    const QString folder = QStringLiteral(TOVI_SOURCE_RESOURCES);
    std::vector<QImage> originals;
    for (int n = 1; n <= 6; ++n)
        originals.push_back(
            tovi::PackRenderer::original(folder + QStringLiteral("/pack-evening-%1.jpg").arg(n)));
    tovi::PackCardEdit edit;
    edit.title = QStringLiteral("Wieczorny spacer");
    edit.subtitle = QStringLiteral("Karta z kolekcji");
    edit.captions = true;
    for (auto _ : state) {
        tovi::Game1Installer::Files files;
        for (int n = 1; n <= 6; ++n)
            files[QString::number(n) + QStringLiteral(".gif")] = tovi::PackRenderer::gif(
                tovi::PackRenderer::image(originals[size_t(n - 1)], edit, n - 1, 240), n - 1,
                tovi::PackReveal::reveal);
        tovi::Game1Installer::validate(files);
    }
}

BENCHMARK(prepareSixCards)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK(encodeReferenceClip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK(encodeCardGif)
    ->Arg(static_cast<int>(tovi::PackReveal::reveal))
    ->Arg(static_cast<int>(tovi::PackReveal::spin))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    // The card's captions need fonts, hence an application; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (referenceFrames().empty()) {
        std::printf("skipped: no reference frames in %s "
                    "(run ../shared/bench/make-bench-media.sh first)\n",
                    qPrintable(referenceDir()));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
