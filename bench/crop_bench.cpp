// The crop runs on every drag step on the interface thread: a 2000-pixel photograph to the
// 600 × 600 preview and to the 240 × 240 output.
#include "media/media_processor.h"

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

} // namespace

int main(int argc, char** argv) {
    QGuiApplication::setAttribute(Qt::AA_PluginApplication); // no display needed
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
