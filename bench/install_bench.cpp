// The six-card installation alone, without the command line's start-up: alternately installs
// the two card sets of TOVI_INSTALL_OLD and TOVI_INSTALL_NEW into the device at TOVI_INSTALL_DEVICE
// (a mounted FAT volume: bench/install_bench.sh makes one) and prints the median of the runs.
#include "device/game1_installer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

tovi::Game1Installer::Files cardsIn(const QString& folder) {
    tovi::Game1Installer::Files files;
    for (const QString& name : tovi::Game1Installer::names()) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        files[name] = file.readAll();
    }
    return files;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString device = qEnvironmentVariable("TOVI_INSTALL_DEVICE");
    const auto old = cardsIn(qEnvironmentVariable("TOVI_INSTALL_OLD"));
    const auto fresh = cardsIn(qEnvironmentVariable("TOVI_INSTALL_NEW"));
    if (device.isEmpty() || old.empty() || fresh.empty()) {
        std::printf("run through bench/install_bench.sh\n");
        return 1;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir backups;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        tovi::Game1Installer::install(i % 2 ? old : fresh, device, backups.path());
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    std::printf("installation (in process): median %.1f ms of %d:", sorted[sorted.size() / 2],
                runs);
    for (const double t : ms)
        std::printf(" %.1f", t);
    std::printf("\n");
    return 0;
}
