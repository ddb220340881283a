// The file dialogs are the desktop's own where it offers them: a fake XDG desktop portal on a
// private bus answers them, as GNOME's or KDE's would.
#include "app/settings.h"
#include "shell/file_chooser.h"
#include "support/fake_udisks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDialog>
#include <QDir>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString chooserInterface = QStringLiteral("org.freedesktop.portal.FileChooser");

// The FileChooser portal as far as Qt uses it: its version, and OpenFile / SaveFile answering
// with `answer` through the Response signal of the request they return. Records each call with
// the options it carried.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QString answer)
        : m_answer(std::move(answer)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == QStringLiteral("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(3)))));
            return true;
        }
        if (message.interface() != chooserInterface || message.arguments().size() != 3)
            return false;
        const auto options = qdbus_cast<QVariantMap>(message.arguments().at(2));
        {
            QMutexLocker lock(&m_mutex);
            m_calls << message.member() + QLatin1Char(' ') +
                           options.value(QStringLiteral("current_name")).toString() +
                           QLatin1Char(' ') +
                           QString::fromUtf8(options.value(QStringLiteral("current_folder"))
                                                 .toByteArray()
                                                 .chopped(1));
        }
        const QString request =
            QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t%1").arg(++m_requests);
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        // A person takes a moment; the caller listens for the answer once the call returns.
        QTimer::singleShot(300, [connection, request, answer = m_answer] {
            QDBusMessage response = QDBusMessage::createSignal(
                request, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"));
            response << uint(0)
                     << QVariantMap{{QStringLiteral("uris"),
                                     QStringList{QUrl::fromLocalFile(answer).toString()}}};
            QDBusConnection(connection).send(response);
        });
        return true;
    }

    QStringList calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

private:
    QString m_answer;
    int m_requests = 0;
    mutable QMutex m_mutex;
    QStringList m_calls;
};

} // namespace

// The application's start is what chooses the portal, so the dialogs run in a process of their
// own that starts on the private bus.
TEST(DesktopDialogs, GoThroughThePortal) {
    QTemporaryDir dir;
    test::PrivateBus bus;
    ASSERT_TRUE(bus.running()) << bus.failure().toStdString();
    const QString chosen = dir.filePath(QStringLiteral("Zdjęcia/lato.png"));
    QDir().mkpath(QFileInfo(chosen).path());
    FakePortal portal(chosen);
    QThread thread;
    thread.start();
    portal.moveToThread(&thread);
    bool registered = false;
    QMetaObject::invokeMethod(
        &portal,
        [&] {
            QDBusConnection connection = bus.connect();
            registered =
                connection.registerVirtualObject(portalPath, &portal) &&
                connection.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
        },
        Qt::BlockingQueuedConnection);
    ASSERT_TRUE(registered);

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TOVI_DIALOG_HOME"), dir.path());
    environment.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=DesktopDialogs.DISABLED_InTheApplication"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    // The save dialog proposes the name, in the folder the open dialog left.
    EXPECT_EQ(portal.calls(),
              QStringList({QStringLiteral("OpenFile  "),
                           QStringLiteral("SaveFile kartka.gif ") + QFileInfo(chosen).path()}));
    QMetaObject::invokeMethod(
        &portal, [] {}, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

// Run by the test above.
TEST(DesktopDialogs, DISABLED_InTheApplication) {
    const QString home = qEnvironmentVariable("TOVI_DIALOG_HOME");
    ASSERT_FALSE(home.isEmpty());
    Settings settings(home + QStringLiteral("/settings.ini"));
    QWidget window;
    window.show();
    QTest::qWait(300); // the portal's version arrives
    // Qt's own dialog would wait for a person: it is closed, and the test fails.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            static_cast<QDialog*>(modal)->reject();
    });
    guard.start(5000);
    const QString chosen = home + QStringLiteral("/Zdjęcia/lato.png");
    EXPECT_EQ(FileChooser::open(&window, settings, QStringLiteral("Dodaj"),
                                QStringLiteral("Obrazy (*.png)")),
              chosen);
    EXPECT_EQ(settings.string(Settings::lastFolder, {}), home + QStringLiteral("/Zdjęcia"));
    EXPECT_EQ(FileChooser::saveAs(&window, settings, QStringLiteral("kartka.gif")), chosen);
}
