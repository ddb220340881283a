// "Na Tovi" opened on the device at TOVI_CONTENTS_DEVICE (bench/contents_bench.sh mounts one with
// 200 pictures in Photo1): how long until every picture is listed, and until every thumbnail of
// Photo1 is decoded. One run; the script remounts the volume before it.
#include "app/background_task.h"
#include "app/settings.h"
#include "device/contents_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    const QByteArray device = qgetenv("TOVI_CONTENTS_DEVICE");
    if (device.isEmpty()) {
        std::printf("run through bench/contents_bench.sh\n");
        return 1;
    }
    QTemporaryDir home; // settings of its own, the person's untouched
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    tovi::Settings settings;
    settings.setString(tovi::Settings::destination, QString::fromLocal8Bit(device));
    tovi::DeviceContentsView view(settings, home.filePath(QStringLiteral("Backups")));
    tovi::DeviceContentsSession& session = view.session();
    session.setVolumeLister({});
    const auto until = [](const auto& done) {
        while (!done())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    QElapsedTimer clock;
    clock.start();
    view.show();
    until([&] { return session.contents() && !session.busy(); });
    QCoreApplication::processEvents();
    const qint64 listed = clock.elapsed();
    until([&] {
        const auto shown = view.findChildren<tovi::RoundThumbnail*>();
        return std::all_of(shown.begin(), shown.end(), [](const tovi::RoundThumbnail* thumbnail) {
            return !thumbnail->parentWidget()->objectName().startsWith(QStringLiteral("Photo1/")) ||
                   thumbnail->frameCount() > 0;
        });
    });
    std::printf("%.3f %.3f\n", double(listed) / 1000, double(clock.elapsed()) / 1000);
    // Nothing may hold the volume once this ends: the script unmounts it next.
    tovi::deviceThreads().waitForDone();
    tovi::workerThreads().waitForDone();
    return 0;
}
