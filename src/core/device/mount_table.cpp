#include "mount_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tovi {

namespace {

// mountinfo writes space, tab, newline and backslash as three octal digits after a backslash.
QString unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3') {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

// udev names links with \x escapes ("NO\x20NAME").
QString unescapeUdev(const QString& name) {
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == QLatin1Char('\\') && i + 3 < name.size() &&
            name[i + 1] == QLatin1Char('x')) {
            bool ok = false;
            const int code = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(QChar(code));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return out;
}

QString linkedName(const QString& folder, dev_t device) {
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat info {};
        if (::stat(QFile::encodeName(dir.filePath(name)).constData(), &info) == 0 &&
            S_ISBLK(info.st_mode) && info.st_rdev == device)
            return unescapeUdev(name);
    }
    return {};
}

quint32 littleEndian32(const QByteArray& data, int at) {
    return static_cast<quint32>(static_cast<quint8>(data[at])) |
           static_cast<quint32>(static_cast<quint8>(data[at + 1])) << 8 |
           static_cast<quint32>(static_cast<quint8>(data[at + 2])) << 16 |
           static_cast<quint32>(static_cast<quint8>(data[at + 3])) << 24;
}

// The volume serial of a FAT boot sector, printed as blkid prints it; empty for anything else.
QString fatSerial(const QString& source) {
    struct stat info {};
    if (::stat(QFile::encodeName(source).constData(), &info) != 0 ||
        !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)))
        return {};
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray sector = file.read(512);
    if (sector.size() < 512 || static_cast<quint8>(sector[510]) != 0x55 ||
        static_cast<quint8>(sector[511]) != 0xAA)
        return {};
    int serialAt = 0;
    if (sector.mid(82, 5) == "FAT32")
        serialAt = 67;
    else if (sector.mid(54, 3) == "FAT")
        serialAt = 39;
    else
        return {};
    const quint32 serial = littleEndian32(sector, serialAt);
    const auto half = [](quint32 value) {
        return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    };
    return QStringLiteral("fat:") + half(serial >> 16) + QLatin1Char('-') + half(serial & 0xFFFF);
}

} // namespace

std::vector<Mount> MountTable::read() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

std::vector<Mount> MountTable::parse(const QByteArray& mountinfo) {
    std::vector<Mount> mounts;
    for (const QByteArray& line : mountinfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"));
        if (fields.size() < 6 || separator < 6 || separator + 2 >= fields.size())
            continue;
        const QList<QByteArray> numbers = fields[2].split(':');
        if (numbers.size() != 2)
            continue;
        Mount mount;
        mount.device = makedev(numbers[0].toUInt(), numbers[1].toUInt());
        mount.root = unescape(fields[3]);
        mount.mountPoint = unescape(fields[4]);
        mount.type = unescape(fields[separator + 1]);
        mount.source = unescape(fields[separator + 2]);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::optional<Mount> MountTable::containing(const QString& path, const std::vector<Mount>& mounts) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    std::optional<Mount> best;
    for (const Mount& mount : mounts) {
        if (mount.device != info.st_dev)
            continue;
        const bool above = mount.mountPoint == QStringLiteral("/") ||
                           canonical == mount.mountPoint ||
                           canonical.startsWith(mount.mountPoint + QLatin1Char('/'));
        if (above && (!best || mount.mountPoint.size() >= best->mountPoint.size()))
            best = mount;
    }
    return best;
}

QString MountTable::volumeId(const Mount& mount) {
    if (!QFileInfo(mount.source).isAbsolute())
        return {};
    if (const QString uuid = linkedName(QStringLiteral("/dev/disk/by-uuid"), mount.device);
        !uuid.isEmpty())
        return QStringLiteral("uuid:") + uuid;
    if (const QString label = linkedName(QStringLiteral("/dev/disk/by-label"), mount.device);
        !label.isEmpty())
        return QStringLiteral("label:") + label;
    return fatSerial(mount.source);
}

bool MountTable::keepsInodes(const QString& type) {
    static const QStringList stable{QStringLiteral("ext2"),  QStringLiteral("ext3"),
                                    QStringLiteral("ext4"),  QStringLiteral("xfs"),
                                    QStringLiteral("btrfs"), QStringLiteral("f2fs"),
                                    QStringLiteral("zfs"),   QStringLiteral("tmpfs")};
    return stable.contains(type);
}

} // namespace tovi
