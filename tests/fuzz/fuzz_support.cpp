#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdlib>

namespace tovi::fuzz {
namespace {

QTemporaryDir& scratch() {
    // RAM-backed when possible: targets write a file per input.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/tovi-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/tovi-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    return dir;
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void ensureApplication() {
    static bool created = false;
    if (created)
        return;
    created = true;
    const QString home = scratchFolder();
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString path = home + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(path);
        qputenv(name, QFile::encodeName(path));
    }
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home)); // QTemporaryDir made it 0700
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    static int argc = 1;
    static char name[] = "tovi-fuzz";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may still be torn down after it at exit.
    new QGuiApplication(argc, argv);
}

QString scratchFolder() {
    return scratch().path();
}

QString writeScratch(const QString& name, const QByteArray& bytes) {
    const QString path = scratch().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        std::abort();
    return path;
}

} // namespace tovi::fuzz

// Qt's font database keeps fontconfig's one-time allocations until exit (as tests/lsan.supp
// says for the suites); carried here so a fuzzer run needs no options to stay quiet about them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libdbus\n";
}
