#include "cli_support.h"

#include "app/polish_count.h"
#include "app/product.h"
#include "device/mount_watcher.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tovi::cli {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int failed(const QString& error) {
    err() << "tovi: " << error << '\n';
    return 1;
}

bool readNumber(const QCommandLineParser& parser, const char* name, double& value) {
    const QString option = QString::fromLatin1(name);
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const double parsed = parser.value(option).toDouble(&ok);
    if (!ok || !std::isfinite(parsed)) {
        err() << "tovi: wartość --" << name << " musi być liczbą.\n";
        return false;
    }
    value = parsed;
    return true;
}

void addTimeoutOption(CommandLine& line) {
    line.add({{QString::fromLatin1("timeout"),
               QStringLiteral("ile sekund czekać jeszcze, gdy Tovi przestanie odpowiadać"),
               QStringLiteral("SEKUNDY")}});
}

void addWaitOption(CommandLine& line) {
    line.add({{QString::fromLatin1("wait"),
               QStringLiteral("czeka, aż Tovi zostanie podłączony (Ctrl+C przerywa)")}});
}

void waitForDevice(const QString& device, const std::function<void()>& find) {
    const auto present = [&find] {
        try {
            find();
            return true;
        } catch (...) {
            return false;
        }
    };
    // The volume the place is on, so that a disk mounted there that is not the Tovi can be told.
    const QByteArray place = QFile::encodeName(device);
    const auto volume = [&place]() -> std::optional<dev_t> {
        struct stat info {};
        return ::stat(place.constData(), &info) == 0 ? std::optional(info.st_dev) : std::nullopt;
    };
    // Watching starts before the first look, so a disk mounted in between is not missed.
    const MountWatcher watcher;
    std::optional<dev_t> seen = volume();
    if (present())
        return;
    err() << "Czekam na Tovi w „" << QDir::toNativeSeparators(device)
          << "”. Podłącz go przez USB i w menu urządzenia ustaw USB Mode → Photo Sync. "
             "Ctrl+C przerywa czekanie.\n"
          << Qt::flush;
    QEventLoop loop;
    QObject::connect(&watcher, &MountWatcher::changed, &loop, [&] {
        if (present())
            return loop.quit();
        const std::optional<dev_t> now = volume();
        if (now && now != seen)
            err() << "W „" << QDir::toNativeSeparators(device)
                  << "” jest teraz dysk bez folderów Tovi. Czekam dalej.\n"
                  << Qt::flush;
        seen = now;
    });
    // Mounts are told at once; a place laid out without a mount of its own (a slow automounter,
    // a bind or network mount, a folder made later) is found by looking again every second.
    QTimer again;
    QObject::connect(&again, &QTimer::timeout, &loop, [&] {
        if (present())
            loop.quit();
    });
    again.start(1000);
    loop.exec();
    err() << "Tovi jest podłączony.\n" << Qt::flush;
}

void exitNow(int status) {
    err() << Qt::flush;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

bool parseTimeout(const QString& text, std::optional<double>& seconds) {
    bool ok = false;
    const double parsed = text.toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || parsed < 0 || parsed > 86400) {
        err() << "tovi: wartość --timeout musi być liczbą sekund od 0 do 86400.\n";
        return false;
    }
    seconds = parsed;
    return true;
}

bool readTimeout(const QCommandLineParser& parser, std::optional<double>& seconds) {
    const QString option = QString::fromLatin1("timeout");
    return !parser.isSet(option) || parseTimeout(parser.value(option), seconds);
}

void reportStalls(DeviceJob& job, std::optional<double> timeout,
                  const std::function<void()>& stop) {
    auto* timer = new QTimer(&job);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, &job, stop);
    QObject::connect(&job, &DeviceJob::stalledChanged, timer, [&job, timer, timeout] {
        if (job.stalled()) {
            err() << "tovi: " << DeviceWatch::stalledText() << '\n' << Qt::flush;
            if (timeout)
                timer->start(static_cast<int>(*timeout * 1000));
        } else {
            timer->stop();
        }
    });
}

void addCropOptions(CommandLine& line) {
    line.add({
        {QString::fromLatin1("zoom"), QStringLiteral("powiększenie 1…3"), QStringLiteral("Z")},
        {QString::fromLatin1("x"), QStringLiteral("położenie poziome −1…1"), QStringLiteral("X")},
        {QString::fromLatin1("y"), QStringLiteral("położenie pionowe −1…1"), QStringLiteral("Y")},
        {QString::fromLatin1("title"), QStringLiteral("pierwszy wiersz podpisu"),
         QStringLiteral("T")},
        {QString::fromLatin1("subtitle"), QStringLiteral("drugi wiersz podpisu"),
         QStringLiteral("S")},
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
        err() << '\r' << what << ": " << PolishCount::framesDone(done, total) << Qt::flush;
        if (done == total)
            err() << "\r\033[K" << Qt::flush;
        return true;
    };
}

void addExportOptions(CommandLine& line) {
    addCropOptions(line);
    const auto option = [](const char* name) { return QString::fromLatin1(name); };
    line.add({
        {option("format"), QStringLiteral("gif albo jpg"), QStringLiteral("FORMAT")},
        {option("start"), QStringLiteral("początek fragmentu w sekundach"), QStringLiteral("S")},
        {option("length"), QStringLiteral("długość fragmentu w sekundach"), QStringLiteral("L")},
        {option("fps"), QStringLiteral("klatki na sekundę (1–12)"), QStringLiteral("N")},
        {option("reverse"), QStringLiteral("fragment odtwarzany wstecz")},
        {option("bounce"), QStringLiteral("fragment tam i z powrotem (najwyżej %1 s)")
                               .arg(Product::maxBounceSeconds)},
        {option("speed"), QStringLiteral("prędkość: 0.5, 0.75, 1, 1.5 albo 2"),
         QStringLiteral("X")},
        {option("rotate"), QStringLiteral("obrót zamiast fragmentu")},
        {option("turn"), QStringLiteral("czas pełnego obrotu w sekundach"),
         QStringLiteral("SEKUNDY")},
        {option("ccw"), QStringLiteral("obrót w lewo")},
    });
}

bool readExportOptions(const QCommandLineParser& parser, ExportOptions& options) {
    const auto option = [](const char* name) { return QString::fromLatin1(name); };
    if (parser.isSet(option("format"))) {
        const auto format = outputFormatFromRaw(parser.value(option("format")).toUpper());
        if (!format) {
            err() << "tovi: --format przyjmuje gif albo jpg.\n";
            return false;
        }
        options.format = *format;
    }
    double fps = options.fps;
    if (!readNumber(parser, "start", options.start) ||
        !readNumber(parser, "length", options.length) || !readNumber(parser, "fps", fps) ||
        !readNumber(parser, "turn", options.rotationSeconds) || !readCrop(parser, options.crop))
        return false;
    options.fps = static_cast<int>(std::clamp(fps, -1.0, 1000.0));
    if (parser.isSet(option("reverse")) && parser.isSet(option("bounce"))) {
        err() << "tovi: --reverse i --bounce wykluczają się.\n";
        return false;
    }
    if (parser.isSet(option("reverse")))
        options.order = PlaybackOrder::reverse;
    if (parser.isSet(option("bounce")))
        options.order = PlaybackOrder::bounce;
    if (parser.isSet(option("speed"))) {
        bool ok = false;
        QString text = parser.value(option("speed"));
        const double speed = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok || std::find(playbackSpeeds.begin(), playbackSpeeds.end(), speed) ==
                       playbackSpeeds.end()) {
            err() << "tovi: --speed przyjmuje 0.5, 0.75, 1, 1.5 albo 2.\n";
            return false;
        }
        options.speed = speed;
    }
    options.rotation = parser.isSet(option("rotate"));
    if (options.rotation && !parser.isSet(option("format")))
        options.format = OutputFormat::gif;
    options.clockwise = !parser.isSet(option("ccw"));
    if (parser.isSet(option("title")) || parser.isSet(option("subtitle"))) {
        options.captionTitle = parser.value(option("title"));
        options.captionSubtitle = parser.value(option("subtitle"));
        options.captions = true;
    }
    return true;
}

bool readAnimation(const QCommandLineParser& parser, PackReveal& animation) {
    const QString name = parser.value(QStringLiteral("animation"));
    if (name.isEmpty() || name == QStringLiteral("reveal"))
        animation = name.isEmpty() ? animation : PackReveal::reveal;
    else if (name == QStringLiteral("spin"))
        animation = PackReveal::spin;
    else if (name == QStringLiteral("still"))
        animation = PackReveal::still;
    else {
        err() << "tovi: --animation przyjmuje reveal, spin albo still.\n";
        return false;
    }
    return true;
}

} // namespace tovi::cli
