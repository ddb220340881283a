#include "fat_volume.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tovi::test {

namespace {

QString tool(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(name,
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

QString run(const QString& program, const QStringList& arguments, int* status = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool(program), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        if (status)
            *status = -1;
        return program + QStringLiteral(" did not finish");
    }
    if (status)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

// The line /proc gives about a process or thread, and the fields after its name: state first.
QList<QByteArray> statusOf(const QString& stat) {
    QFile file(stat);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = file.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

// The FUSE daemon `program` serving `mountPoint`: the newest whose arguments name it (one that
// served an earlier mount there may still be on its way out).
pid_t daemonOf(const QString& mountPoint, const char* program = "fusefat") {
    const QByteArray wanted = QFile::encodeName(mountPoint);
    pid_t found = 0;
    qint64 newest = -1;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const auto pid = static_cast<pid_t>(entry.toInt(&number));
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!number || !file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = file.readAll().split('\0');
        const QList<QByteArray> status = statusOf(QStringLiteral("/proc/%1/stat").arg(entry));
        if (arguments.first().endsWith(program) && arguments.contains(wanted) &&
            status.size() > 19 && status[19].toLongLong() > newest) {
            found = pid;
            newest = status[19].toLongLong(); // the start time
        }
    }
    return found;
}

// Stops (or lets go on) `daemon` and waits until the kernel shows every one of its threads so.
bool freezeDaemon(pid_t daemon, bool frozen) {
    if (daemon <= 0 || ::kill(daemon, frozen ? SIGSTOP : SIGCONT) != 0)
        return false;
    // A signal is only queued by kill(): the threads stop (or go on) when next scheduled.
    const QString tasks = QStringLiteral("/proc/%1/task").arg(daemon);
    const auto settled = [&] {
        const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (threads.isEmpty())
            return false;
        for (const QString& task : threads) {
            const QList<QByteArray> status =
                statusOf(tasks + QLatin1Char('/') + task + QStringLiteral("/stat"));
            if (status.isEmpty() || (status[0] == "T") != frozen)
                return false;
        }
        return true;
    };
    QElapsedTimer waited;
    waited.start();
    while (!settled()) {
        if (waited.hasExpired(10000))
            return false;
        QThread::msleep(1);
    }
    return true;
}

// Unmounts `mountPoint`, retrying briefly while the daemon finishes its last write, then detaches.
bool unmountFuse(const QString& mountPoint) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int status = 0;
        run(QStringLiteral("fusermount"), {QStringLiteral("-u"), mountPoint}, &status);
        if (status == 0)
            return true;
        QThread::msleep(100);
    }
    run(QStringLiteral("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"), mountPoint});
    return false;
}

} // namespace

QString FatVolume::unavailable() {
    for (const char* name : {"mkfs.vfat", "fsck.fat", "fusefat", "fusermount"}) {
        if (tool(QLatin1String(name)).isEmpty())
            return QStringLiteral("FAT volume tests skipped: %1 is not installed "
                                  "(scripts/setup.sh installs dosfstools, fusefat and fuse3)")
                .arg(QLatin1String(name));
    }
    const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0)
        return QStringLiteral("FAT volume tests skipped: FUSE is not available here "
                              "(/dev/fuse cannot be opened)");
    ::close(fuse);
    return {};
}

FatVolume::FatVolume(int kilobytes, QString serial) {
    if (serial.isEmpty())
        serial = QString::number(QRandomGenerator::global()->generate(), 16)
                     .rightJustified(8, QLatin1Char('0'));
    m_image = m_dir.filePath(QStringLiteral("tovi.img"));
    int status = 0;
    const QString output =
        run(QStringLiteral("mkfs.vfat"),
            {QStringLiteral("-C"), QStringLiteral("-n"), QStringLiteral("NO NAME"),
             QStringLiteral("-i"), serial, m_image, QString::number(kilobytes)},
            &status);
    if (status != 0) {
        m_error = QStringLiteral("mkfs.vfat failed: ") + output;
        return;
    }
    mount(m_dir.filePath(QStringLiteral("NO NAME")));
}

FatVolume::~FatVolume() {
    unmount();
}

bool FatVolume::mount(const QString& mountPoint) {
    QDir().mkpath(mountPoint);
    int status = 0;
    // fsname puts the image in the mount table, where the volume's serial can be read.
    const QString output =
        run(QStringLiteral("fusefat"),
            {QStringLiteral("-o"), QStringLiteral("rw+,fsname=") + m_image, m_image, mountPoint},
            &status);
    if (status != 0) {
        m_error = QStringLiteral("fusefat failed: ") + output;
        return false;
    }
    m_mountPoint = mountPoint;
    m_error.clear();
    m_daemon = daemonOf(mountPoint);
    return true;
}

bool FatVolume::unmount() {
    if (m_mountPoint.isEmpty())
        return true;
    if (m_frozen)
        freeze(false);
    m_daemon = 0;
    const bool unmounted = unmountFuse(m_mountPoint);
    m_mountPoint.clear();
    return unmounted;
}

bool FatVolume::freeze(bool frozen) {
    if (!freezeDaemon(m_daemon, frozen))
        return false;
    m_frozen = frozen;
    return true;
}

QString FatVolume::check() const {
    int status = 0;
    const QString output =
        run(QStringLiteral("fsck.fat"), {QStringLiteral("-n"), m_image}, &status);
    return status == 0 ? QString() : output;
}

QString FuseFolder::unavailable() {
    for (const char* name : {"bindfs", "fusermount"}) {
        if (tool(QLatin1String(name)).isEmpty())
            return QStringLiteral("FUSE folder tests skipped: %1 is not installed "
                                  "(scripts/setup.sh installs bindfs and fuse3)")
                .arg(QLatin1String(name));
    }
    return FatVolume::unavailable();
}

FuseFolder::FuseFolder() {
    const QString backing = m_dir.filePath(QStringLiteral("disk"));
    m_mountPoint = m_dir.filePath(QStringLiteral("folder"));
    QDir().mkpath(backing);
    QDir().mkpath(m_mountPoint);
    int status = 0;
    const QString output = run(QStringLiteral("bindfs"), {backing, m_mountPoint}, &status);
    m_daemon = status == 0 ? daemonOf(m_mountPoint, "bindfs") : 0;
    if (m_daemon <= 0) {
        m_error = QStringLiteral("bindfs failed: ") + output;
        m_mountPoint.clear();
    }
}

FuseFolder::~FuseFolder() {
    if (m_mountPoint.isEmpty())
        return;
    freezeDaemon(m_daemon, false);
    unmountFuse(m_mountPoint);
}

bool FuseFolder::freeze(bool frozen) {
    return freezeDaemon(m_daemon, frozen);
}

} // namespace tovi::test
