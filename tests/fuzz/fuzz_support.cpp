#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdlib>
#include <unistd.h>

namespace tovi::fuzz {
namespace {

// One folder per process, named by its id, RAM-backed when possible: targets write a file per
// input. A crash leaves its folder behind, so the folders of processes that are gone are
// swept first.
class Scratch {
public:
    Scratch() {
        const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm")
                                 : QDir::tempPath();
        const QString prefix = QStringLiteral("tovi-fuzz-");
        for (const QString& name : QDir(base).entryList({prefix + u'*'}, QDir::Dirs)) {
            const QString pid = name.mid(prefix.size());
            if (!QFileInfo::exists(QStringLiteral("/proc/") + pid))
                QDir(base + u'/' + name).removeRecursively();
        }
        m_path = base + u'/' + prefix + QString::number(::getpid());
        QDir(m_path).removeRecursively();
        if (!QDir().mkdir(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            std::abort();
    }
    ~Scratch() { QDir(m_path).removeRecursively(); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const QString& path() const { return m_path; }

private:
    QString m_path;
};

Scratch& scratch() {
    static Scratch folder;
    return folder;
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
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home)); // made 0700, as Qt wants it
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
    const QString path = scratch().path() + u'/' + name;
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
