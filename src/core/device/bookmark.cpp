#include "bookmark.h"

#include "app/platform_error.h"
#include "device/mount_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace tovi {

namespace {

const QByteArray magic = QByteArrayLiteral("tovi-bookmark/1\n");

struct Identity {
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    QString volume;   // empty when the volume has no lasting name
    QString relative; // the folder's path inside its volume
    bool keepsInodes = true;
};

QString below(const QString& path, const QString& mountPoint) {
    if (mountPoint == QStringLiteral("/"))
        return path;
    return path.mid(mountPoint.size());
}

QString joined(const QString& root, const QString& rest) {
    return QDir::cleanPath(root + QLatin1Char('/') + rest);
}

std::optional<Identity> identify(const QString& path, const std::vector<Mount>& mounts) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    Identity identity;
    identity.path = path;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (const std::optional<Mount> mount = MountTable::containing(canonical, mounts)) {
        identity.volume = MountTable::volumeId(*mount);
        identity.relative = joined(mount->root, below(canonical, mount->mountPoint));
        identity.keepsInodes = MountTable::keepsInodes(mount->type);
    }
    return identity;
}

// Where a path inside a volume lies below a mount of (a part of) that volume, if it does.
std::optional<QString> placeIn(const Mount& mount, const QString& relative) {
    if (mount.root == QStringLiteral("/"))
        return relative;
    if (relative == mount.root || relative.startsWith(mount.root + QLatin1Char('/')))
        return relative.mid(mount.root.size());
    return std::nullopt;
}

bool sameFolder(const Identity& made, const Identity& now) {
    if (made.volume.isEmpty())
        return now.volume.isEmpty() && made.device == now.device && made.inode == now.inode;
    return made.volume == now.volume && made.relative == now.relative &&
           (!made.keepsInodes || made.inode == now.inode);
}

} // namespace

QByteArray Bookmark::make(const QString& folder) {
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        throw PlatformError::fromErrno(errno, path);
    if (!S_ISDIR(info.st_mode))
        throw PlatformError(PlatformError::notADirectory, path, ENOTDIR);
    const std::optional<Identity> identity = identify(path, MountTable::read());
    if (!identity)
        throw PlatformError::fromErrno(ENOENT, path);
    const QJsonObject object{
        {QStringLiteral("path"), identity->path},
        {QStringLiteral("device"), QString::number(identity->device)},
        {QStringLiteral("inode"), QString::number(identity->inode)},
        {QStringLiteral("volume"), identity->volume},
        {QStringLiteral("relative"), identity->relative},
        {QStringLiteral("keepsInodes"), identity->keepsInodes},
    };
    return magic + QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Bookmark::Resolved Bookmark::resolve(const QByteArray& data) {
    if (!data.startsWith(magic))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(data.mid(magic.size()));
    const QJsonObject object = document.object();
    Identity made;
    made.path = object.value(QStringLiteral("path")).toString();
    bool deviceOk = false;
    bool inodeOk = false;
    made.device = object.value(QStringLiteral("device")).toString().toULongLong(&deviceOk);
    made.inode = object.value(QStringLiteral("inode")).toString().toULongLong(&inodeOk);
    made.volume = object.value(QStringLiteral("volume")).toString();
    made.relative = object.value(QStringLiteral("relative")).toString();
    made.keepsInodes = object.value(QStringLiteral("keepsInodes")).toBool(true);
    if (!document.isObject() || made.path.isEmpty() || !deviceOk || !inodeOk)
        return {};

    const std::vector<Mount> mounts = MountTable::read();
    const std::optional<Identity> now = identify(made.path, mounts);
    if (now && sameFolder(made, *now))
        return {Status::fresh, made.path};

    // The same volume mounted at another place (a second disk plugged in first, say): still the
    // user's device, and a desktop mounts it by label, so this is ordinary, not stale.
    if (!made.volume.isEmpty()) {
        for (const Mount& mount : mounts) {
            const std::optional<QString> inside = placeIn(mount, made.relative);
            if (!inside || MountTable::volumeId(mount) != made.volume)
                continue;
            const QString candidate = joined(mount.mountPoint, *inside);
            const std::optional<Identity> there = identify(candidate, mounts);
            if (candidate != made.path && there && sameFolder(made, *there))
                return {Status::fresh, candidate};
        }
    }
    if (now)
        return {Status::stale, made.path};
    return {};
}

} // namespace tovi
