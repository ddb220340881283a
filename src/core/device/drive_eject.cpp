#include "drive_eject.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QMap>
#include <QVariantMap>
#include <map>

namespace tovi {

namespace {

const QString service = QStringLiteral("org.freedesktop.UDisks2");
const QString managerPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString filesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");

// UDisks2 answers a lookup at once. Unmounting first writes out what the kernel still holds
// for the disk, which on a slow USB player can take minutes after a large send.
constexpr int lookupTimeout = 10'000;
constexpr int unmountTimeout = 300'000;
constexpr int driveTimeout = 30'000;

using Interfaces = QMap<QString, QVariantMap>;

// Every UDisks2 object by path, with the properties of each of its interfaces. Empty when the
// service does not answer.
std::map<QString, Interfaces> managedObjects(const QDBusConnection& bus) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        service, managerPath, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
        QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, lookupTimeout);
    std::map<QString, Interfaces> objects;
    if (reply.type() != QDBusMessage::ReplyMessage ||
        reply.signature() != QStringLiteral("a{oa{sa{sv}}}"))
        return objects;
    const QDBusArgument argument = reply.arguments().front().value<QDBusArgument>();
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        Interfaces interfaces;
        argument.beginMapEntry();
        argument >> path >> interfaces;
        argument.endMapEntry();
        objects[path.path()] = interfaces;
    }
    argument.endMap();
    return objects;
}

// UDisks2 sends device paths as NUL-terminated byte strings.
QString bytePath(QByteArray bytes) {
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return QFile::decodeName(bytes);
}

// The names the block device goes by: /dev/sdb1 and its /dev/disk/… links, any of which a
// mount may have been made from.
QStringList deviceNames(const QVariantMap& block) {
    QStringList names{bytePath(block.value(QStringLiteral("Device")).toByteArray()),
                      bytePath(block.value(QStringLiteral("PreferredDevice")).toByteArray())};
    const QVariant links = block.value(QStringLiteral("Symlinks"));
    if (links.canConvert<QDBusArgument>()) {
        QList<QByteArray> list;
        links.value<QDBusArgument>() >> list;
        for (const QByteArray& link : list)
            names << bytePath(link);
    }
    names.removeAll(QString());
    return names;
}

QString objectPath(const QVariant& value) {
    return value.value<QDBusObjectPath>().path();
}

EjectError failure(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name == QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"))
        return EjectError(EjectError::busy);
    if (name.startsWith(QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorized")))
        return EjectError(EjectError::failed, QStringLiteral("brak uprawnień."));
    if (name == QStringLiteral("org.freedesktop.DBus.Error.NoReply") ||
        name == QStringLiteral("org.freedesktop.DBus.Error.Timeout") ||
        name == QStringLiteral("org.freedesktop.DBus.Error.TimedOut"))
        return EjectError(EjectError::failed, QStringLiteral("system nie odpowiedział na czas."));
    if (name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner") ||
        name == QStringLiteral("org.freedesktop.DBus.Error.Disconnected") ||
        name == QStringLiteral("org.freedesktop.DBus.Error.NoServer"))
        return EjectError(EjectError::failed, QStringLiteral("usługa UDisks2 jest niedostępna."));
    // UDisks2 words its other failures itself (in English); they are still the best detail.
    const QString text = reply.errorMessage().isEmpty() ? name : reply.errorMessage();
    return EjectError(EjectError::failed,
                      text.isEmpty() ? QStringLiteral("brak odpowiedzi systemu.") : text);
}

QDBusMessage request(const QString& path, const QString& interface, const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call << QVariantMap(); // no options
    // Lets polkit ask for a password where the session's rules want one.
    call.setInteractiveAuthorizationAllowed(true);
    return call;
}

} // namespace

QString EjectError::message() const {
    if (m_kind == busy)
        return QStringLiteral("Dysk jest jeszcze używany. Zamknij pliki z Tovi i spróbuj "
                              "ponownie.");
    QString text = QStringLiteral("Nie udało się wysunąć dysku: ") + m_detail;
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

std::optional<DriveEject::Target> DriveEject::find(const QString& folder,
                                                   const QDBusConnection& bus) {
    return find(folder, bus, MountTable::read());
}

std::optional<DriveEject::Target> DriveEject::find(const QString& folder,
                                                   const QDBusConnection& bus,
                                                   const std::vector<Mount>& mounts) {
    if (!bus.isConnected())
        return std::nullopt;
    const std::optional<Mount> mount = MountTable::containing(folder, mounts);
    if (!mount || !mount->source.startsWith(QStringLiteral("/dev/")))
        return std::nullopt;
    const std::map<QString, Interfaces> objects = managedObjects(bus);
    for (const auto& [path, interfaces] : objects) {
        const auto block = interfaces.constFind(blockInterface);
        if (block == interfaces.cend() || !interfaces.contains(filesystemInterface) ||
            !deviceNames(*block).contains(mount->source))
            continue;
        const QString drivePath = objectPath(block->value(QStringLiteral("Drive")));
        const auto drive = objects.find(drivePath);
        if (drive == objects.end() || !drive->second.contains(driveInterface))
            return std::nullopt;
        const QVariantMap properties = drive->second.value(driveInterface);
        const auto flag = [&](const char* name) {
            return properties.value(QLatin1String(name)).toBool();
        };
        if (!flag("Removable") && !flag("MediaRemovable") && !flag("Ejectable"))
            return std::nullopt;
        return Target{mount->source, mount->mountPoint,   path,
                      drivePath,     flag("CanPowerOff"), flag("Ejectable")};
    }
    return std::nullopt;
}

void DriveEject::eject(const Target& target, const QDBusConnection& bus) {
    const QDBusMessage unmounted =
        bus.call(request(target.block, filesystemInterface, QStringLiteral("Unmount")),
                 QDBus::Block, unmountTimeout);
    // Already unmounted (in the file manager, or by an earlier try whose power-off failed) is
    // as good.
    if (unmounted.type() != QDBusMessage::ReplyMessage &&
        unmounted.errorName() != QStringLiteral("org.freedesktop.UDisks2.Error.NotMounted"))
        throw failure(unmounted);

    QString method;
    if (target.canPowerOff)
        method = QStringLiteral("PowerOff");
    else if (target.ejectable)
        method = QStringLiteral("Eject");
    else
        return; // unmounted is all this drive offers, and enough to unplug it
    const QDBusMessage done =
        bus.call(request(target.drive, driveInterface, method), QDBus::Block, driveTimeout);
    if (done.type() != QDBusMessage::ReplyMessage)
        throw failure(done);
}

} // namespace tovi
