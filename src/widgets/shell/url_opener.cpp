#include "url_opener.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>

namespace tovi::UrlOpener {

void open(const QUrl& url, QWidget* parent) {
    // xdg-open rather than QDesktopServices: it says whether anything opened the url.
    auto* call = new QProcess(qApp);
    const QPointer<QWidget> over(parent);
    const auto failed = [url, over] { showUnopened(url, over); };
    QObject::connect(call, &QProcess::finished, call,
                     [call, failed](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             failed();
                         call->deleteLater();
                     });
    QObject::connect(call, &QProcess::errorOccurred, call,
                     [call, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         failed();
                         call->deleteLater();
                     });
    call->start(QStringLiteral("xdg-open"),
                {url.isLocalFile() ? url.toLocalFile() : url.toString()});
}

QMessageBox* showUnopened(const QUrl& url, QWidget* parent) {
    const bool local = url.isLocalFile();
    const QString where = local ? url.toLocalFile() : url.toString();
    auto* box = new QMessageBox(parent ? parent : QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("Nie udało się otworzyć"));
    box->setText(local ? QStringLiteral("Żaden program nie otworzył tego miejsca. Znajdziesz je "
                                        "w menedżerze plików pod tą ścieżką:")
                       : QStringLiteral("Żaden program nie otworzył tej strony. Jej adres:"));
    box->setInformativeText(where);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* copy =
        box->addButton(local ? QStringLiteral("Kopiuj ścieżkę") : QStringLiteral("Kopiuj adres"),
                       QMessageBox::ActionRole);
    copy->setObjectName(QStringLiteral("copy"));
    box->addButton(QMessageBox::Ok);
    QObject::connect(copy, &QPushButton::clicked, box,
                     [where] { QGuiApplication::clipboard()->setText(where); });
    box->open();
    return box;
}

void reveal(const QStringList& files, const QString& folder) {
    const QUrl place = QUrl::fromLocalFile(folder);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (files.isEmpty() || !bus.isConnected()) {
        open(place);
        return;
    }
    QStringList uris;
    for (const QString& file : files)
        uris << QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString(); // no start-up notification
    auto* reply = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), qApp);
    QObject::connect(reply, &QDBusPendingCallWatcher::finished, reply, [reply, place] {
        if (reply->isError())
            open(place);
        reply->deleteLater();
    });
}

} // namespace tovi::UrlOpener
