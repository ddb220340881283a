#include "fake_udisks.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QStandardPaths>
#include <QVariantMap>
#include <atomic>
#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace tovi::test {

namespace {

using Interfaces = QMap<QString, QVariantMap>;
using Objects = QMap<QDBusObjectPath, Interfaces>;

const QString root = QStringLiteral("/org/freedesktop/UDisks2");
const QString blockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString filesystemInterface = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString driveInterface = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString internalBlock = QStringLiteral("/org/freedesktop/UDisks2/block_devices/fake0");
const QString internalDrive = QStringLiteral("/org/freedesktop/UDisks2/drives/Internal");

QByteArray nulTerminated(const QString& path) {
    QByteArray bytes = QFile::encodeName(path);
    bytes.append('\0');
    return bytes;
}

Interfaces blockObject(const QString& device, const QString& drive, const QStringList& links) {
    QList<QByteArray> symlinks;
    for (const QString& link : links)
        symlinks << nulTerminated(link);
    return {
        {blockInterface,
         {{QStringLiteral("Device"), nulTerminated(device)},
          {QStringLiteral("PreferredDevice"), nulTerminated(device)},
          {QStringLiteral("Symlinks"), QVariant::fromValue(symlinks)},
          {QStringLiteral("Drive"), QVariant::fromValue(QDBusObjectPath(drive))},
          {QStringLiteral("IdType"), QStringLiteral("vfat")}}},
        {filesystemInterface, {{QStringLiteral("Size"), quint64(1) << 30}}},
    };
}

Interfaces driveObject(bool removable, bool canPowerOff, bool ejectable) {
    return {{driveInterface,
             {{QStringLiteral("Removable"), removable},
              {QStringLiteral("MediaRemovable"), false},
              {QStringLiteral("Ejectable"), ejectable},
              {QStringLiteral("CanPowerOff"), canPowerOff},
              {QStringLiteral("Vendor"), QStringLiteral("Fake")}}}};
}

} // namespace

const QString FakeUDisks::device = QStringLiteral("/dev/fake1");
const QString FakeUDisks::deviceLink = QStringLiteral("/dev/disk/by-uuid/FA4E-0001");
const QString FakeUDisks::block = QStringLiteral("/org/freedesktop/UDisks2/block_devices/fake1");
const QString FakeUDisks::drive = QStringLiteral("/org/freedesktop/UDisks2/drives/Fake");

// Answers every path under /org/freedesktop/UDisks2 itself, as the real object manager tree would.
class FakeUDisks::Service : public QDBusVirtualObject {
public:
    explicit Service(FakeDrive settings)
        : m_settings(std::move(settings)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString path = message.path();
        const QString member = message.member();
        if (path == root && member == QStringLiteral("GetManagedObjects")) {
            connection.send(message.createReply(QVariant::fromValue(objects())));
            return true;
        }
        QString error;
        if (path == block && message.interface() == filesystemInterface &&
            member == QStringLiteral("Unmount")) {
            error = m_settings.unmountError;
        } else if (path == drive && message.interface() == driveInterface &&
                   (member == QStringLiteral("PowerOff") || member == QStringLiteral("Eject"))) {
            error = m_settings.powerOffError;
        } else {
            connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error."
                                                                    "UnknownMethod"),
                                                     member));
            return true;
        }
        if (message.signature() != QStringLiteral("a{sv}")) {
            connection.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"), message.signature()));
            return true;
        }
        {
            const QMutexLocker lock(&m_mutex);
            m_calls << member + QLatin1Char(' ') + path;
        }
        connection.send(error.isEmpty()
                            ? message.createReply()
                            : message.createErrorReply(error, QStringLiteral("Fake failure")));
        return true;
    }

    QStringList calls() const {
        const QMutexLocker lock(&m_mutex);
        return m_calls;
    }

private:
    Objects objects() const {
        return {
            {QDBusObjectPath(root + QStringLiteral("/Manager")),
             {{QStringLiteral("org.freedesktop.UDisks2.Manager"),
               {{QStringLiteral("Version"), QStringLiteral("2.9.4")}}}}},
            {QDBusObjectPath(internalBlock),
             blockObject(QStringLiteral("/dev/fake0"), internalDrive, {})},
            {QDBusObjectPath(internalDrive), driveObject(false, false, false)},
            {QDBusObjectPath(block), blockObject(device, drive, {deviceLink})},
            {QDBusObjectPath(drive),
             driveObject(m_settings.removable, m_settings.canPowerOff, m_settings.ejectable)},
        };
    }

    const FakeDrive m_settings;
    mutable QMutex m_mutex;
    QStringList m_calls;
};

namespace {

// Each suite links this file, so no test process reaches the machine's system bus: neither the
// sheet's own lookup after a send completes (in tests that set no bus) nor a `tovi` process a
// test starts. Code under test reaches a PrivateBus only when told its address.
[[maybe_unused]] const bool noSystemBus = [] {
    return qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tovi-tests-no-system-bus");
}();

std::atomic<int> connectionCount{0};

QString connectionName(const char* what) {
    return QStringLiteral("tovi-test-%1-%2").arg(QLatin1String(what)).arg(++connectionCount);
}

} // namespace

PrivateBus::PrivateBus()
    : m_oldSession(qgetenv("DBUS_SESSION_BUS_ADDRESS")) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        m_failure = QStringLiteral("dbus-daemon is not installed (Debian package dbus-daemon)");
        return;
    }
    const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly)) {
        m_failure = QStringLiteral("cannot write the bus configuration");
        return;
    }
    // No <servicedir>: a name nobody owns stays unowned instead of being activated.
    file.write(QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:path=%1</listen>"
                   "<auth>EXTERNAL</auth><policy context=\"default\">"
                   "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                   "<allow own=\"*\"/></policy></busconfig>\n")
                   .arg(m_dir.filePath(QStringLiteral("socket")))
                   .toUtf8());
    file.close();
    // A test process that crashes takes its daemon with it.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(program, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                             QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000)) {
        m_failure = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
        return;
    }
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_failure = QStringLiteral("dbus-daemon printed no address: ") +
                    QString::fromUtf8(m_daemon.readAllStandardError());
        m_daemon.kill();
        m_daemon.waitForFinished();
        return;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

PrivateBus::~PrivateBus() {
    for (const QString& name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }
    if (m_oldSession.isNull())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_oldSession);
}

QDBusConnection PrivateBus::connect() {
    const QString name = connectionName("client");
    m_connections << name;
    return QDBusConnection::connectToBus(m_address, name);
}

FakeUDisks::FakeUDisks(PrivateBus& bus, FakeDrive settings)
    : m_service(std::make_unique<Service>(std::move(settings)))
    , m_connection(connectionName("udisks")) {
    qDBusRegisterMetaType<QList<QByteArray>>();
    qDBusRegisterMetaType<Interfaces>();
    qDBusRegisterMetaType<Objects>();
    m_thread.setObjectName(QStringLiteral("fake-udisks"));
    m_thread.start();
    // Calls are delivered in the thread the object lives in, and registering gives the object
    // helpers that must be made there too.
    m_service->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        m_service.get(),
        [this, address = bus.address()] {
            QDBusConnection connection = QDBusConnection::connectToBus(address, m_connection);
            m_registered =
                connection.isConnected() &&
                connection.registerVirtualObject(root, m_service.get(), QDBusConnection::SubPath) &&
                connection.registerService(QStringLiteral("org.freedesktop.UDisks2"));
        },
        Qt::BlockingQueuedConnection);
}

FakeUDisks::~FakeUDisks() {
    // The name is released before this returns, so that the next fake can take it at once.
    QMetaObject::invokeMethod(
        m_service.get(),
        [this] {
            QDBusConnection connection(m_connection);
            connection.unregisterService(QStringLiteral("org.freedesktop.UDisks2"));
            connection.unregisterObject(root, QDBusConnection::UnregisterTree);
            QDBusConnection::disconnectFromBus(m_connection);
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QStringList FakeUDisks::calls() const {
    return m_service->calls();
}

QByteArray mountinfoLine(const QString& folder, const QString& source) {
    struct stat info {};
    ::stat(QFile::encodeName(folder).constData(), &info);
    QByteArray point = QFile::encodeName(QFileInfo(folder).canonicalFilePath());
    point.replace('\\', "\\134").replace(' ', "\\040").replace('\t', "\\011");
    return QByteArray::number(major(info.st_dev)).prepend("901 29 ") + ':' +
           QByteArray::number(minor(info.st_dev)) + " / " + point +
           " rw,relatime shared:501 - vfat " + QFile::encodeName(source) +
           " rw,fmask=0022,dmask=0022\n";
}

} // namespace tovi::test
