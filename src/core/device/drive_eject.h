#pragma once

#include "app/tovi_error.h"
#include "device/mount_table.h"

#include <QDBusConnection>
#include <QString>
#include <optional>
#include <vector>

namespace tovi {

// Why a drive could not be ejected.
class EjectError : public ToviError {
public:
    enum Kind {
        busy,  // a program still holds files open on the file system
        failed // anything else UDisks2 or the bus reported; `detail` says what
    };

    explicit EjectError(Kind kind, QString detail = {})
        : m_kind(kind)
        , m_detail(std::move(detail)) {}
    Kind kind() const { return m_kind; }
    const QString& detail() const { return m_detail; }
    QString message() const override;

private:
    Kind m_kind;
    QString m_detail;
};

// Safe removal of the removable drive that holds a folder, through UDisks2: unmount its file
// system, then power the drive off (or eject it). The bus is a parameter so that tests can
// serve a fake UDisks2 on a private bus; the application passes QDBusConnection::systemBus().
// Every call blocks on the bus: run them off the interface thread.
class DriveEject {
public:
    struct Target {
        QString device;     // the mount source, "/dev/sdb1"
        QString mountPoint; // where it was mounted when found
        QString block;      // UDisks2 object path of the block device with the file system
        QString drive;      // UDisks2 object path of its drive
        bool canPowerOff = false;
        bool ejectable = false;
    };

    // The drive behind `folder` when UDisks2 answers on `bus`, knows the block device the
    // folder's file system is mounted from, and calls its drive removable; nothing otherwise.
    static std::optional<Target> find(const QString& folder, const QDBusConnection& bus);
    static std::optional<Target> find(const QString& folder, const QDBusConnection& bus,
                                      const std::vector<Mount>& mounts);

    // Unmounts the file system, then powers the drive off when it can, else ejects it when it
    // can. Throws EjectError.
    static void eject(const Target& target, const QDBusConnection& bus);
};

} // namespace tovi
