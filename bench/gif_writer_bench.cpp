// The encoding half of an export on its own: the 96 ideal 240 × 240 frames of the benchmark
// clip (8 s at 12 fps) through GifWriter, in order, as the decoder would hand them over; and a
// 14-frame card GIF (a fade-in from black, then a hold).
#include "media/gif_writer.h"

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
        tovi::GifWriter writer(frames.front().size());
        for (const QImage& frame : frames)
            writer.add(frame, 1.0 / 12);
        gif = writer.finish();
    }
    state.counters["bytes"] = static_cast<double>(gif.size());
    state.counters["frames"] = static_cast<double>(frames.size());
    keep(gif, "");
}

void encodeCardFadeIn(benchmark::State& state) {
    const QImage card = referenceFrames().front();
    std::vector<QImage> frames{card};
    for (int i = 1; i <= 12; ++i) {
        QImage frame(card.size(), QImage::Format_RGB32);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        painter.setOpacity(i / 12.0);
        painter.drawImage(0, 0, card);
        painter.end();
        frames.push_back(frame);
    }
    frames.push_back(card);
    QByteArray gif;
    for (auto _ : state) {
        tovi::GifWriter writer(card.size());
        for (size_t i = 0; i < frames.size(); ++i)
            writer.add(frames[i], i == 0 ? 0.02 : i == 13 ? 655.35 : 0.1);
        gif = writer.finish();
    }
    state.counters["bytes"] = static_cast<double>(gif.size());
    keep(gif, ".card.gif");
}

BENCHMARK(encodeReferenceClip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK(encodeCardFadeIn)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication::setAttribute(Qt::AA_PluginApplication); // no display needed
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
