// The playing preview on the benchmark clip, as the studio model drives it: how soon a change of
// start plays, how soon a whole fragment is decoded, what playing from the cache costs, how
// punctual it stays while a hand drags the crop, and its memory. One figure per run:
//   playback_bench first|ready|cpu|drag|ahead|same|memory [still]
// bench/playback_bench.sh runs them and sets the decoding against FFmpeg's floor.
#include "app/background_task.h"
#include "app/settings.h"
#include "media/media_processor.h"
#include "media/video_source.h"
#include "studio/studio_model.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace tovi;

namespace {

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        runFor(1);
    }
    return true;
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// "VmHWM" or "VmRSS" of this process, in MB.
double memoryMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

class Bench {
public:
    explicit Bench(const QString& clip)
        : m_settings(Settings::defaultFile())
        , m_model(m_settings) {
        m_model.importMedia(QUrl::fromLocalFile(clip));
        if (!waitFor([&] { return !m_model.busy(); }) || !m_model.media()) {
            std::fprintf(stderr, "cannot import %s\n", qPrintable(clip));
            std::exit(1);
        }
    }
    StudioModel& model() { return m_model; }
    FragmentPlayback& playback() { return m_model.playback(); }

    // Sets the options as the panels do and returns the seconds until `done` holds.
    double change(const std::function<void(ExportOptions&)>& apply,
                  const std::function<bool()>& done) {
        ExportOptions options = m_model.options();
        apply(options);
        QElapsedTimer timer;
        timer.start();
        m_model.setOptions(options);
        m_model.refreshPreview();
        waitFor(done);
        return double(timer.nsecsElapsed()) / 1e9;
    }
    bool allReady() {
        return playback().frameCount() > 0 && playback().framesReady() == playback().frameCount();
    }
    void settle() {
        waitFor([&] { return allReady(); });
        runFor(300); // the still preview's decode too
    }

private:
    Settings m_settings;
    StudioModel m_model;
};

// Frames later than one refresh at 60 Hz, against the GIF's delays from the first frame of each
// run of playback, and from each late frame again.
struct Punctuality {
    int shown = 0;
    int late = 0;
    double playingSeconds = 0;
    qint64 lastNs = -1; // none: the old frames went, the next one starts a run
    qint64 dueNs = 0;
    QElapsedTimer clock;
    // Counts every frame `playback` shows from now on.
    void follow(FragmentPlayback& playback) {
        clock.start();
        QObject::connect(&playback, &FragmentPlayback::frameChanged,
                         [this, &playback] { onFrame(playback, clock.nsecsElapsed()); });
    }
    void onFrame(const FragmentPlayback& playback, qint64 nowNs) {
        if (playback.frame().isNull()) {
            lastNs = -1;
            return;
        }
        if (lastNs < 0 || nowNs - dueNs > 17'000'000) {
            if (lastNs >= 0) {
                ++late;
                if (qEnvironmentVariableIsSet("TOVI_BENCH_VERBOSE"))
                    std::printf("late %.0f ms: frame %d, %d of %d ready\n",
                                double(nowNs - dueNs) / 1e6, playback.frameIndex(),
                                playback.framesReady(), playback.frameCount());
            }
            dueNs = nowNs;
        }
        if (lastNs >= 0) {
            ++shown;
            playingSeconds += double(nowNs - lastNs) / 1e9;
        }
        dueNs += std::llround(playback.plan().delay(playback.frameIndex()) * 1e9);
        lastNs = nowNs;
    }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    QGuiApplication application(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("first");
    const bool still = argc > 2 && qstrcmp(argv[2], "still") == 0;
    const QString media =
        qEnvironmentVariable("TOVI_BENCH_MEDIA", QStringLiteral("/tmp/tovi-bench"));
    int status = 0;
    {
        // The benchmark clip, or another of bench/ (TOVI_BENCH_CLIP=night.mp4).
        Bench bench(media + QLatin1Char('/') +
                    qEnvironmentVariable("TOVI_BENCH_CLIP", QStringLiteral("src_1080p.mp4")));
        FragmentPlayback& playback = bench.playback();
        playback.setEnabled(!still);
        if (mode == QStringLiteral("first")) {
            // Sixteen starts over the clip, forward and back, each once the last has settled.
            bench.settle();
            // Against the same frame from a decoder just opened, alone: what it costs at least.
            std::vector<double> times, ratios;
            for (const double start :
                 {0.7, 3.3, 5.9, 1.6, 8.2, 4.4, 2.2, 7.1, 0.3, 6.5, 9.0, 3.8, 5.1, 1.1, 7.7, 2.9}) {
                times.push_back(bench.change([start](ExportOptions& o) { o.start = start; },
                                             [&] { return !playback.frame().isNull(); }));
                bench.settle();
                QElapsedTimer alone;
                alone.start();
                VideoSource video(bench.model().media()->url.toLocalFile(),
                                  VideoSource::previewDecoderThreads);
                video.setCrop(bench.model().options().crop, FragmentSampler::side);
                video.frameAt(start, VideoSource::Accuracy::exact);
                ratios.push_back(times.back() / (double(alone.nsecsElapsed()) / 1e9));
                std::printf("start %.1f s: %.0f ms, alone %.0f ms\n", start, times.back() * 1000,
                            times.back() / ratios.back() * 1000);
            }
            std::printf("first played frame after a change of start: median %.0f ms, worst %.0f "
                        "ms (16 starts); median %.2f × a fresh decoder's time for it\n",
                        median(times) * 1000, *std::max_element(times.begin(), times.end()) * 1000,
                        median(ratios));
        } else if (mode == QStringLiteral("ready")) {
            bench.change([](ExportOptions& o) { o.start = 0.5; }, [&] { return bench.allReady(); });
            runFor(300);
            const double seconds = bench.change(
                [](ExportOptions& o) {
                    o.start = 0;
                    o.length = 8;
                    o.fps = 12;
                },
                [&] { return bench.allReady(); });
            std::printf("%.3f s for all %d frames of 8 s at 12 fps\n", seconds,
                        playback.framesReady());
        } else if (mode == QStringLiteral("cpu")) {
            bench.settle();
            int frames = 0;
            QObject::connect(&playback, &FragmentPlayback::frameChanged, [&] { ++frames; });
            const double before = cpuSeconds();
            runFor(10000);
            std::printf("playing from the cache: %.2f %% of one core (%d frames in 10 s)\n",
                        (cpuSeconds() - before) * 10, frames);
        } else if (mode == QStringLiteral("drag")) {
            // Strokes of half a second at 60 steps a second, every two seconds, for 30 s.
            bench.settle();
            Punctuality punctuality;
            punctuality.follow(playback);
            QTimer hand;
            hand.setTimerType(Qt::PreciseTimer);
            int step = 0;
            QObject::connect(&hand, &QTimer::timeout, [&] {
                const int phase = step++ % 120;
                if (phase < 30)
                    bench.model().panCrop((step / 120) % 2 ? 2 : -2, 1, 300);
            });
            hand.start(16);
            runFor(30000);
            std::printf("while dragging: %d late of %d frames in %.1f s of playback: %.2f late "
                        "per 10 s\n",
                        punctuality.late, punctuality.shown, punctuality.playingSeconds,
                        punctuality.late * 10 / std::max(punctuality.playingSeconds, 1e-9));
        } else if (mode == QStringLiteral("ahead")) {
            // The GIF made ahead of the send, 8 s at 12 fps from the start: once the fragment
            // plays from the cache, and right after a change of start, when its frames decode
            // while the settings rest. From the rest to the size each time, the bytes against
            // the export's (also written to TOVI_BENCH_OUT), and the playing preview's
            // punctuality meanwhile.
            const auto fragment = [](double start) {
                return [start](ExportOptions& o) {
                    o.start = start;
                    o.length = 8;
                    o.fps = 12;
                };
            };
            bench.change(fragment(0), [&] { return bench.allReady(); });
            bench.settle();
            Punctuality punctuality;
            punctuality.follow(playback);
            const ReadyExport& ready = bench.model().ready();
            QElapsedTimer rested;
            const QMetaObject::Connection taken =
                QObject::connect(&ready, &ReadyExport::changed, [&] {
                    if (!rested.isValid())
                        rested.start(); // the first change: the settings are taken
                });
            bench.model().makeReadyAhead(true);
            waitFor([&] { return ready.state() == ReadyExport::State::ready; }, 120000);
            QObject::disconnect(taken);
            const double atHand = double(rested.nsecsElapsed()) / 1e9 - ReadyExport::restMs / 1e3;
            const QByteArray first = ready.bytes();
            // The start moved away and back: the frames decode anew as the settings rest.
            bench.change(fragment(0.5), [&] { return ready.state() == ReadyExport::State::ready; });
            bench.settle();
            int toldReady = 0;
            QObject::connect(&ready, &ReadyExport::changed,
                             [&] { toldReady += ready.state() == ReadyExport::State::ready; });
            const double changed = bench.change(fragment(0), [&] {
                return ready.state() == ReadyExport::State::ready;
            }) - ReadyExport::restMs / 1e3;
            const double playing = punctuality.playingSeconds;
            const int late = punctuality.late;
            QElapsedTimer alone;
            alone.start();
            const QByteArray sent =
                MediaProcessor::encoded(*bench.model().media(), bench.model().options());
            const double aloneSeconds = double(alone.nsecsElapsed()) / 1e9;
            if (!ready.fits()) {
                // The ways out, each against the export of what it offers.
                QElapsedTimer found;
                found.start();
                waitFor([&] { return toldReady >= 2; }, 300000); // the size, then the ways out
                std::printf("ways out after %.1f s:", double(found.nsecsElapsed()) / 1e9);
                for (const auto& way : {ready.suggestions().fps, ready.suggestions().length})
                    if (way)
                        std::printf(
                            " %d fps %.1f s: %lld bytes (%s);", way->options.fps,
                            way->options.length, qint64(way->bytes),
                            MediaProcessor::encoded(*bench.model().media(), way->options).size() ==
                                    way->bytes
                                ? "the export's"
                                : "NOT the export's");
                std::printf("\n");
            }
            if (const QString out = qEnvironmentVariable("TOVI_BENCH_OUT"); !out.isEmpty()) {
                QFile file(out);
                if (file.open(QIODevice::WriteOnly))
                    file.write(ready.bytes());
            }
            std::printf("made ahead: %.2f s from the rest to the size with the frames at hand, "
                        "%.2f s after a change of start (%lld bytes, %s the export's); the export "
                        "here alone %.2f s; meanwhile %d late of %d frames in %.1f s of playback: "
                        "%.2f late per 10 s\n",
                        atHand, changed, qint64(ready.bytes().size()),
                        first == sent && ready.bytes() == sent ? "the same bytes as" : "NOT",
                        aloneSeconds, late, punctuality.shown, playing,
                        late * 10 / std::max(playing, 1e-9));
        } else if (mode == QStringLiteral("same")) {
            // The playing preview's frames, decoded on its kept decoder one fragment after
            // another, against the export's sampler on a decoder just opened: pixel for pixel.
            int differ = 0, compared = 0;
            for (int round = 0; round < 4; ++round) {
                bench.change(
                    [round](ExportOptions& o) {
                        o.start = round * 0.7;
                        o.length = 8;
                        o.fps = round % 2 ? 8 : 12;
                        o.crop.zoom = 1 + round * 0.4;
                        o.crop.x = round % 2 ? 0.6 : -0.3;
                        o.captions = round >= 2;
                        o.captionTitle = QStringLiteral("Zażółć gęślą");
                        o.captionSubtitle = QStringLiteral("jaźń");
                    },
                    [&] { return bench.allReady(); });
                FragmentSampler sampler(*bench.model().media(), bench.model().options());
                for (int k = 0; k < sampler.plan().count; ++k) {
                    ++compared;
                    if (sampler.frame(k) != playback.frames()[size_t(k)])
                        ++differ;
                }
            }
            std::printf("%d of %d frames differ\n", differ, compared);
        } else if (mode == QStringLiteral("memory")) {
            // A start moved, as a person does first (the still preview opens its decoder then),
            // and the longest fragment: 96 frames.
            bench.change(
                [](ExportOptions& o) {
                    o.start = 1.5;
                    o.length = 8;
                },
                [&] { return still || bench.allReady(); });
            runFor(3000);
            std::printf("%s: peak %.1f MB, resident %.1f MB\n", still ? "still preview" : "playing",
                        memoryMb("VmHWM"), memoryMb("VmRSS"));
        } else {
            std::fprintf(stderr, "modes: first ready cpu drag ahead same memory [still]\n");
            status = 2;
        }
    }
    workerThreads().waitForDone();
    return status;
}
