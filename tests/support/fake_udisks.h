#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

namespace tovi::test {

// A dbus-daemon of the test's own: a socket in a temporary folder and a configuration without
// service activation, so nothing on it reaches the machine's real services. While it runs, the
// session bus address of this process (and of the processes it starts) points at it.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool running() const { return !m_address.isEmpty(); }
    // Why it is not running.
    const QString& failure() const { return m_failure; }
    const QString& address() const { return m_address; }
    // A new client connection, closed with the bus.
    QDBusConnection connect();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_failure;
    QStringList m_connections;
    QByteArray m_oldSession;
};

// What the fake drive "Fake" offers, and how its calls answer.
struct FakeDrive {
    bool removable = true;
    bool canPowerOff = true;
    bool ejectable = false;
    // The D-Bus error each method answers with; empty for success.
    QString unmountError;
    QString powerOffError;

    static FakeDrive offering(bool removable, bool canPowerOff, bool ejectable) {
        FakeDrive drive;
        drive.removable = removable;
        drive.canPowerOff = canPowerOff;
        drive.ejectable = ejectable;
        return drive;
    }
    static FakeDrive failing(QString unmountError, QString powerOffError = {}) {
        FakeDrive drive;
        drive.unmountError = std::move(unmountError);
        drive.powerOffError = std::move(powerOffError);
        return drive;
    }
};

// UDisks2 as far as safe removal uses it. Its objects: a removable drive "Fake" holding the
// FAT file system /dev/fake1, an internal drive with /dev/fake0, and the manager. Served from a
// thread of its own, so blocking calls from the test's thread, or from a `tovi` process the test
// waits for, are answered. Method calls are checked for their a{sv} options and recorded.
class FakeUDisks {
public:
    static const QString device;     // "/dev/fake1"
    static const QString deviceLink; // a /dev/disk/by-uuid link to it
    static const QString block;      // its object path
    static const QString drive;      // the object path of its drive

    explicit FakeUDisks(PrivateBus& bus, FakeDrive settings = {});
    ~FakeUDisks();
    FakeUDisks(const FakeUDisks&) = delete;
    FakeUDisks& operator=(const FakeUDisks&) = delete;

    // Whether it owns org.freedesktop.UDisks2 on the bus.
    bool registered() const { return m_registered; }
    // "Unmount /org/freedesktop/UDisks2/block_devices/fake1", "PowerOff …", "Eject …" in order.
    QStringList calls() const;

private:
    class Service;
    QThread m_thread;
    std::unique_ptr<Service> m_service;
    QString m_connection;
    bool m_registered = false;
};

// A /proc/self/mountinfo line saying that the existing `folder` is mounted from `source`, with
// the folder's real device number so that MountTable::containing accepts it.
QByteArray mountinfoLine(const QString& folder, const QString& source);

} // namespace tovi::test
