#include "device_watch.h"

#include <QDir>

namespace tovi {

DeviceWatch::DeviceWatch(QObject* parent)
    : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(defaultPatience);
    connect(&m_timer, &QTimer::timeout, this, [this] { setStalled(true); });
}

void DeviceWatch::start() {
    m_timer.start();
    setStalled(false);
}

void DeviceWatch::beat() {
    if (watching())
        start();
}

void DeviceWatch::stop() {
    m_timer.stop();
    setStalled(false);
}

void DeviceWatch::setPatience(std::chrono::milliseconds patience) {
    m_timer.setInterval(patience);
}

void DeviceWatch::setStalled(bool stalled) {
    if (stalled == m_stalled)
        return;
    m_stalled = stalled;
    emit stalledChanged();
}

QString DeviceWatch::stalledText() {
    return QStringLiteral("Tovi nie odpowiada. Sprawdź, czy jest podłączony i ustawiony na USB "
                          "Mode → Photo Sync. Możesz dalej czekać albo przestać czekać.");
}

QString DeviceWatch::stoppedInstallText(const QString& backup) {
    return QStringLiteral("Przestano czekać na Tovi. Zapis kart mógł zostać przerwany: gdy Tovi "
                          "znów odpowie, sprawdź Game1. Kopia poprzedniej zawartości Game1 jest w "
                          "folderze: ") +
           QDir::toNativeSeparators(backup);
}

QString DeviceWatch::stoppedAlbumText(const QString& copy) {
    return QStringLiteral("Przestano czekać na Tovi. Grafika mogła nie zostać zapisana w albumie; "
                          "jej kopia jest na komputerze: ") +
           QDir::toNativeSeparators(copy);
}

} // namespace tovi
