// The crop runs on every drag step on the interface thread: a 2000-pixel photograph to the
// 600 × 600 preview and to the 240 × 240 output.
#include "media/media_processor.h"
#include "packs/pack_renderer.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

QImage photograph() {
    static const QImage image = [] {
        const QString path = qEnvironmentVariable(
            "TOVI_BENCH_PHOTO", QStringLiteral("/usr/share/backgrounds/mate/nature/LadyBird.jpg"));
        auto source = tovi::ImageSource::open(path);
        QImage frame = source ? tovi::MediaProcessor::frame(*source, 0) : QImage();
        if (frame.isNull()) {
            std::fprintf(stderr, "cannot read %s (apt-get install mate-backgrounds)\n",
                         qPrintable(path));
            std::exit(1);
        }
        return frame;
    }();
    return image;
}

void cropPhoto(benchmark::State& state) {
    const QImage frame = photograph();
    const int size = static_cast<int>(state.range(0));
    const tovi::CropSettings settings{static_cast<double>(state.range(1)) / 100.0, 0.3, -0.2};
    for (auto _ : state)
        benchmark::DoNotOptimize(tovi::MediaProcessor::crop(frame, settings, size));
    state.SetLabel(QStringLiteral("%1×%2 → %3")
                       .arg(frame.width())
                       .arg(frame.height())
                       .arg(size)
                       .toStdString());
}

BENCHMARK(cropPhoto)
    ->Args({600, 100})
    ->Args({600, 250})
    ->Args({240, 100})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A drag step in "Grafika" with captions on: the crop and the caption band at 600.
void previewWithCaptions(benchmark::State& state) {
    const QImage frame = photograph();
    tovi::ExportOptions options;
    options.crop = {1.5, 0.3, -0.2};
    options.captions = true;
    options.captionTitle = QStringLiteral("Wakacje nad morzem");
    options.captionSubtitle = QStringLiteral("Sierpień 2026, Hel");
    for (auto _ : state)
        benchmark::DoNotOptimize(tovi::MediaProcessor::rendered(frame, options, 600));
}

// A drag step in "Losowane karty": one card redrawn with its band, texts and number.
void cardPreview(benchmark::State& state) {
    const QImage frame = photograph();
    const tovi::PackCardEdit edit{QStringLiteral("Na powtórce"),
                                  QStringLiteral("Jeden utwór, raz za razem"), true, std::nullopt,
                                  tovi::CropSettings{1.5, 0.3, -0.2}};
    for (auto _ : state)
        benchmark::DoNotOptimize(tovi::PackRenderer::image(frame, edit, 2, 600));
}

BENCHMARK(previewWithCaptions)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(cardPreview)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    // Captions need fonts, so a (display-less) application.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
