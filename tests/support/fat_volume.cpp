#include "fat_volume.h"

#include <QDir>
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
    return true;
}

bool FatVolume::unmount() {
    if (m_mountPoint.isEmpty())
        return true;
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
    // The daemon of this mount is the fusefat process whose arguments name its mount point.
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&number));
        if (!number)
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = file.readAll().split('\0');
        if (!arguments.isEmpty() && arguments.first().endsWith("fusefat") &&
            arguments.contains(QFile::encodeName(m_mountPoint)))
            return ::kill(pid, frozen ? SIGSTOP : SIGCONT) == 0;
    }
    return false;
}

QString FatVolume::check() const {
    int status = 0;
    const QString output =
        run(QStringLiteral("fsck.fat"), {QStringLiteral("-n"), m_image}, &status);
    return status == 0 ? QString() : output;
}

} // namespace tovi::test
