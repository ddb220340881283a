// Frames of 1080p H.264 videos: the preview's exact frame as the start slider moves, and the
// export's exact frames at increasing times.
#include "media/media_processor.h"
#include "media/video_source.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using tovi::VideoSource;

// `seconds` of a slow zoom over a photograph, 30 fps, a key frame every `gop` frames; made once.
QString makeVideo(const QString& file, int seconds, int gop) {
    if (QFileInfo(file).size() > 0)
        return file;
    QDir().mkpath(QFileInfo(file).path());
    const QByteArray command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y -loop 1 -framerate 30 -i "
        "/usr/share/backgrounds/mate/nature/LadyBird.jpg -t " +
        QByteArray::number(seconds) + " -vf \"scale=3840:-2,zoompan=z='1+0.3*on/" +
        QByteArray::number(seconds * 30) +
        "':x='(iw-iw/zoom)/2':y='(ih-ih/zoom)/2':d=1:s=1920x1080:fps=30\" -c:v libx264 -preset "
        "medium -crf 20 -pix_fmt yuv420p -g " +
        QByteArray::number(gop) + " -keyint_min " + QByteArray::number(gop) +
        " -sc_threshold 0 -colorspace bt709 -color_primaries bt709 -color_trc bt709 " +
        QFile::encodeName(file) + ".part.mp4 && mv " + QFile::encodeName(file) + ".part.mp4 " +
        QFile::encodeName(file);
    if (std::system(command.constData()) != 0) {
        std::fprintf(stderr, "cannot make %s (apt-get install ffmpeg mate-backgrounds)\n",
                     qPrintable(file));
        std::exit(1);
    }
    return file;
}

// Ten seconds with a key frame every 2 s.
QString benchVideo() {
    static const QString path = [] {
        const QString file = qEnvironmentVariable("TOVI_BENCH_VIDEO");
        return file.isEmpty()
                   ? makeVideo(QStringLiteral("/tmp/tovi-bench/video_1080p_g60.mp4"), 10, 60)
                   : file;
    }();
    return path;
}

// Twenty seconds with a key frame every 250 frames (8.3 s), as many encoders write.
QString longGroupVideo() {
    static const QString path =
        makeVideo(QStringLiteral("/tmp/tovi-bench/video_1080p_g250.mp4"), 20, 250);
    return path;
}

// Alternating between 3.0 s and 5.0 s, each one second into its group, makes every call seek.
void frameMidGroup(benchmark::State& state, VideoSource::Accuracy accuracy) {
    VideoSource source(benchVideo());
    const double times[] = {3.0, 5.0};
    int i = 0;
    QSize size;
    for (auto _ : state) {
        const QImage frame = source.frameAt(times[i++ % 2], accuracy);
        size = frame.size();
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.SetLabel(QStringLiteral("%1×%2").arg(size.width()).arg(size.height()).toStdString());
}

void exactMidGroup(benchmark::State& state) {
    frameMidGroup(state, VideoSource::Accuracy::exact);
}

void tolerantMidGroup(benchmark::State& state) {
    frameMidGroup(state, VideoSource::Accuracy::tolerant);
}

// What a fresh preview costs: open the file and take the frame at the start.
void openAndFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        VideoSource source(benchVideo());
        benchmark::DoNotOptimize(source.frameAt(0, VideoSource::Accuracy::tolerant).constBits());
    }
}

// An export's sampling: 4 s at 12 fps, exact, from 2.5 s.
void exportSweep(benchmark::State& state) {
    for (auto _ : state) {
        VideoSource source(benchVideo());
        for (int i = 0; i < 48; ++i)
            benchmark::DoNotOptimize(
                source.frameAt(2.5 + i / 12.0, VideoSource::Accuracy::exact).constBits());
    }
}

// The export's decoding alone, on the clip export_bench.sh exports: 8 s at 12 fps from the
// start, sampled and cropped to 240 px as the export asks. TOVI_EXPORT_CLIP names the clip.
void exportDecode(benchmark::State& state) {
    const QString clip = qEnvironmentVariable("TOVI_EXPORT_CLIP", "/tmp/tovi-bench/src_1080p.mp4");
    if (!QFileInfo::exists(clip)) {
        state.SkipWithError("no clip: run make-bench-media.sh /tmp/tovi-bench");
        return;
    }
    for (auto _ : state) {
        VideoSource source(clip);
        source.setSampling(0, 1.0 / 12);
        source.setCrop(tovi::CropSettings{}, 240);
        for (int i = 0; i < 96; ++i)
            benchmark::DoNotOptimize(
                source.frameAt(i / 12.0, VideoSource::Accuracy::exact).constBits());
    }
}

// What the export's shortcuts in decoding (see VideoSource::State::loopFilterSkip) cost in
// fidelity: every frame of the 8.3-s group of the long-group clip, cropped to 240 px as an
// export asks, against the same frames decoded exactly. Reports PSNR in dB: the worst frame,
// the mean, and the group's last frame (where any drift has built up most).
void exportFidelity(benchmark::State& state) {
    constexpr int frames = 249;
    const auto psnr = [](const QImage& a, const QImage& b) {
        double sum = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width() * 4; ++x) {
                if (x % 4 == 3)
                    continue;
                const double d = a.constScanLine(y)[x] - b.constScanLine(y)[x];
                sum += d * d;
            }
        const double mse = sum / (3.0 * a.width() * a.height());
        return mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0;
    };
    std::vector<double> decibels;
    for (auto _ : state) {
        VideoSource exported(longGroupVideo()), exact(longGroupVideo());
        exported.setSampling(0, 1.0 / 30);
        exported.setCrop(tovi::CropSettings{}, 240);
        exact.setCrop(tovi::CropSettings{}, 240);
        decibels.clear();
        for (int i = 0; i < frames; ++i) {
            const double t = i / 30.0;
            const QImage a = exported.frameAt(t, VideoSource::Accuracy::exact)
                                 .convertToFormat(QImage::Format_RGB32);
            const QImage b = exact.frameAt(t, VideoSource::Accuracy::exact)
                                 .convertToFormat(QImage::Format_RGB32);
            decibels.push_back(psnr(a, b));
        }
    }
    double mean = 0;
    for (double d : decibels)
        mean += d / double(decibels.size());
    state.counters["worst_dB"] = *std::min_element(decibels.begin(), decibels.end());
    state.counters["mean_dB"] = mean;
    state.counters["last_dB"] = decibels.back();
}

// MediaProcessor::sourceFrame as the studio calls it: a fresh decoder per call, at 3.0 s (one
// second into a group of pictures).
void sourceFrame(benchmark::State& state, VideoSource::Accuracy accuracy) {
    const tovi::MediaInfo media = tovi::MediaProcessor::inspect(QUrl::fromLocalFile(benchVideo()));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            tovi::MediaProcessor::sourceFrame(media, 3.0, accuracy).constBits());
}

void sourceFrameExact(benchmark::State& state) {
    sourceFrame(state, VideoSource::Accuracy::exact);
}

void sourceFrameTolerant(benchmark::State& state) {
    sourceFrame(state, VideoSource::Accuracy::tolerant);
}

// The studio's preview as the start slider moves: one decoder kept open, a start anywhere in
// the clip, forward and back; each picture rendered at the preview's 600 px as the model does.
// Reports the medians and the worst of the first picture (the key frame a seek lands on, or the
// exact frame when that comes first) and of the exact frame.
void sliderMoves(benchmark::State& state, const QString& file) {
    const tovi::MediaInfo media = tovi::MediaProcessor::inspect(QUrl::fromLocalFile(file));
    const tovi::ExportOptions options;
    std::vector<double> first, exact;
    for (auto _ : state) {
        VideoSource source(file, VideoSource::previewDecoderThreads);
        source.frameAt(0, VideoSource::Accuracy::exact);
        // Spread over the clip, as a person drags and lets go.
        for (const double part : {0.37, 0.62, 0.14, 0.89, 0.55, 0.71, 0.08, 0.93, 0.46, 0.25, 0.81,
                                  0.33, 0.67, 0.12, 0.78, 0.51}) {
            QElapsedTimer clock;
            clock.start();
            double early = -1;
            const QImage frame = tovi::MediaProcessor::videoFrame(
                source, media, part * media.duration, VideoSource::Accuracy::exact,
                [&](const QImage& picture) {
                    benchmark::DoNotOptimize(
                        tovi::MediaProcessor::rendered(picture, options, 600).constBits());
                    if (early < 0)
                        early = double(clock.nsecsElapsed()) / 1e6;
                });
            benchmark::DoNotOptimize(
                tovi::MediaProcessor::rendered(frame, options, 600).constBits());
            const double done = double(clock.nsecsElapsed()) / 1e6;
            first.push_back(early >= 0 ? early : done);
            exact.push_back(done);
        }
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["first_ms"] = median(first);
    state.counters["first_max_ms"] = *std::max_element(first.begin(), first.end());
    state.counters["exact_ms"] = median(exact);
    state.counters["exact_max_ms"] = *std::max_element(exact.begin(), exact.end());
}

void sliderKeyEvery2s(benchmark::State& state) {
    sliderMoves(state, benchVideo());
}

void sliderKeyEvery8s(benchmark::State& state) {
    sliderMoves(state, longGroupVideo());
}

BENCHMARK(sliderKeyEvery2s)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(sliderKeyEvery8s)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(sourceFrameExact)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(sourceFrameTolerant)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(exactMidGroup)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(tolerantMidGroup)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(openAndFirstFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(exportDecode)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(exportFidelity)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(exportSweep)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchVideo();
    longGroupVideo();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
