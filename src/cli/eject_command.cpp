#include "commands.h"

#include "cli_support.h"
#include "device/drive_eject.h"
#include "device/mount_table.h"

#include <QDBusConnection>
#include <QFile>
#include <QTextStream>

namespace tovi::cli {

namespace {

// Test seams: TOVI_DBUS_ADDRESS puts a private bus (with a fake UDisks2) in place of the system
// bus, and TOVI_MOUNTINFO a made-up mount table in place of /proc/self/mountinfo.
QDBusConnection bus() {
    const QString address = qEnvironmentVariable("TOVI_DBUS_ADDRESS");
    if (address.isEmpty())
        return QDBusConnection::systemBus();
    return QDBusConnection::connectToBus(address, QStringLiteral("tovi-eject"));
}

std::vector<Mount> mounts() {
    const QString path = qEnvironmentVariable("TOVI_MOUNTINFO");
    if (path.isEmpty())
        return MountTable::read();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? MountTable::parse(file.readAll())
                                          : std::vector<Mount>{};
}

} // namespace

int eject(CommandLine& line) {
    line.add({{QStringLiteral("device"), QStringLiteral("dysk Tovi albo folder na nim"),
               QStringLiteral("ŚCIEŻKA")}});
    if (const auto status = line.parse(0))
        return *status;
    if (!line.isSet("device"))
        return line.usageError();
    const QString device = line.value("device");
    const QDBusConnection connection = bus();
    const std::optional<DriveEject::Target> target = DriveEject::find(device, connection, mounts());
    if (!target) {
        err() << "tovi: Nie znaleziono wymiennego dysku dla „" << device << "”.\n";
        return 1;
    }
    try {
        DriveEject::eject(*target, connection);
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    QTextStream(stdout) << "Można bezpiecznie odłączyć Tovi.\n";
    return 0;
}

} // namespace tovi::cli
