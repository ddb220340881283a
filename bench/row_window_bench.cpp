// The window's row send against single sends, on a real device folder (row_window_bench.sh
// mounts a FAT image). Prints the seconds of the send alone (imports excluded) and the longest
// the interface thread went without running its 10 ms timer meanwhile.
//   row_window_bench DEVICE single FILE…   each file imported, then sent alone, one after another
//   row_window_bench DEVICE row FILE…      the files as one row, sent once
// Films go as 8 s at 12 frames per second (or their whole length when shorter), photos as JPEG.

#include "app/settings.h"
#include "media/media_types.h"
#include "studio/picture_row.h"
#include "studio/studio_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tovi;

namespace {

void waitFor(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

ExportOptions benchOptions(ExportOptions options, const MediaInfo& media) {
    if (media.animated) {
        options.length = std::min(8.0, media.duration);
        options.fps = 12;
    }
    return options;
}

// The longest gap between two ticks of a 10 ms timer while it runs.
struct Responsiveness {
    Responsiveness() {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout,
                         [this] { worst = std::max(worst, clock.restart()); });
        clock.start();
        timer.start();
    }
    QTimer timer;
    QElapsedTimer clock;
    qint64 worst = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv); // the captions' font
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return std::fprintf(stderr, "row_window_bench DEVICE single|row FILE…\n"), 2;
    const QString device = args[1];
    const bool row = args[2] == QStringLiteral("row");
    const QStringList files = args.mid(3);
    Settings settings;
    StudioModel model(settings, StudioModel::Work::oneShot);
    model.chooseDestination(device);
    if (!model.error().isEmpty())
        return std::fprintf(stderr, "%s\n", qPrintable(model.error())), 1;
    double seconds = 0;
    qint64 worst = 0;
    int written = 0;
    if (!row) {
        for (const QString& file : files) {
            model.importMedia(QUrl::fromLocalFile(file));
            waitFor([&] { return !model.busy(); });
            model.setOptions(benchOptions(model.options(), *model.media()));
            QElapsedTimer clock;
            clock.start();
            Responsiveness watch;
            model.prepare(true);
            waitFor([&] { return !model.busy(); });
            seconds += double(clock.elapsed()) / 1000;
            worst = std::max(worst, watch.worst);
            written += model.error().isEmpty() ? 1 : 0;
        }
    } else {
        PictureRow pictures(model);
        pictures.add(files);
        waitFor([&] { return !pictures.busy(); });
        // Only the films are given their 8 s, as a person would: the photos go as they come.
        for (int i = 0; i < pictures.count(); ++i) {
            if (!pictures.item(i).media.animated)
                continue;
            pictures.select(i);
            waitFor([&] { return model.mediaName() == pictures.item(i).label && !model.busy(); });
            model.setOptions(benchOptions(model.options(), *model.media()));
        }
        QElapsedTimer clock;
        clock.start();
        Responsiveness watch;
        pictures.send();
        waitFor([&] { return !pictures.busy(); });
        seconds = double(clock.elapsed()) / 1000;
        worst = watch.worst;
        for (const PictureRow::Line& line : pictures.lines())
            written += line.result.written() ? 1 : 0;
        if (!pictures.error().isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(pictures.error()));
    }
    std::printf("%.3f s, %d of %lld written, interface thread's longest gap %lld ms\n", seconds,
                written, static_cast<long long>(files.size()), static_cast<long long>(worst));
    return written == files.size() ? 0 : 1;
}
