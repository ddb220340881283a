// Frames of a 1080p H.264 video with a 2-second group of pictures: the preview asks for the
// nearest key frame, the export for exact frames at increasing times.
#include "media/media_processor.h"
#include "media/video_source.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {

using tovi::VideoSource;

// Ten seconds of a slow zoom over a photograph, 30 fps, a key frame every 60 frames; made once.
QString benchVideo() {
    static const QString path = [] {
        QString file = qEnvironmentVariable("TOVI_BENCH_VIDEO");
        if (!file.isEmpty())
            return file;
        file = QStringLiteral("/tmp/tovi-bench/video_1080p_g60.mp4");
        if (QFileInfo(file).size() > 0)
            return file;
        QDir().mkpath(QFileInfo(file).path());
        const QByteArray command =
            "ffmpeg -hide_banner -loglevel error -nostdin -y -loop 1 -framerate 30 -i "
            "/usr/share/backgrounds/mate/nature/LadyBird.jpg -t 10 -vf "
            "\"scale=3840:-2,zoompan=z='1+0.3*on/300':x='(iw-iw/zoom)/2':y='(ih-ih/zoom)/2'"
            ":d=1:s=1920x1080:fps=30\" -c:v libx264 -preset medium -crf 20 -pix_fmt yuv420p "
            "-g 60 -keyint_min 60 -sc_threshold 0 -colorspace bt709 -color_primaries bt709 "
            "-color_trc bt709 " +
            QFile::encodeName(file) + ".part.mp4 && mv " + QFile::encodeName(file) + ".part.mp4 " +
            QFile::encodeName(file);
        if (std::system(command.constData()) != 0) {
            std::fprintf(stderr, "cannot make %s (apt-get install ffmpeg mate-backgrounds)\n",
                         qPrintable(file));
            std::exit(1);
        }
        return file;
    }();
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
BENCHMARK(exportSweep)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchVideo();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
