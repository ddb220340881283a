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

// The fusefat daemon serving `mountPoint`: the newest whose arguments name it (one that served
// an earlier mount there may still be on its way out).
pid_t daemonOf(const QString& mountPoint) {
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
        if (arguments.first().endsWith("fusefat") && arguments.contains(wanted) &&
            status.size() > 19 && status[19].toLongLong() > newest) {
            found = pid;
            newest = status[19].toLongLong(); // the start time
        }
    }
    return found;
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
    // The daemon may still be busy right after the last write; retry briefly, then detach.
    for (int attempt = 0; attempt < 50; ++attempt) {
        int status = 0;
        run(QStringLiteral("fusermount"), {QStringLiteral("-u"), m_mountPoint}, &status);
        if (status == 0) {
            m_mountPoint.clear();
            return true;
        }
        QThread::msleep(100);
    }
    run(QStringLiteral("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"), m_mountPoint});
    m_mountPoint.clear();
    return false;
}

bool FatVolume::freeze(bool frozen) {
    if (m_daemon <= 0 || ::kill(m_daemon, frozen ? SIGSTOP : SIGCONT) != 0)
        return false;
    // A signal is only queued by kill(): the threads stop (or go on) when next scheduled.
    const QString tasks = QStringLiteral("/proc/%1/task").arg(m_daemon);
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
    m_frozen = frozen;
    return true;
}

QString FatVolume::check() const {
    int status = 0;
    const QString output =
        run(QStringLiteral("fsck.fat"), {QStringLiteral("-n"), m_image}, &status);
    return status == 0 ? QString() : output;
}

} // namespace tovi::test
