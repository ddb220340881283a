#include "model_home.h"

#include "app/background_task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QThreadPool>

namespace tovi::test {

ModelHome::ModelHome()
    : m_oldData(qgetenv("XDG_DATA_HOME"))
    , m_oldConfig(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    m_settings = std::make_unique<Settings>(Settings::defaultFile());
}

ModelHome::~ModelHome() {
    m_settings.reset();
    // Work the models left running finishes against this folder, never the real home.
    waitForWork();
    spin(0);
    if (m_oldData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", m_oldData);
    if (m_oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

QString ModelHome::library() const {
    return m_dir.filePath(QStringLiteral("data/ToviStudio"));
}

QString ModelHome::packs() const {
    return library() + QStringLiteral("/Packs");
}

std::unique_ptr<Settings> ModelHome::reopenSettings() const {
    return std::make_unique<Settings>(m_settings->file());
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void spin(int ms) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    } while (timer.elapsed() < ms);
}

void waitForWork() {
    // A job may start another in a pool already waited for: go round until all are idle.
    for (int round = 0; round < 3; ++round) {
        workerThreads().waitForDone();
        deviceThreads().waitForDone();
        QThreadPool::globalInstance()->waitForDone();
    }
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        waitForWork();
        QCoreApplication::processEvents();
    }
}

} // namespace tovi::test
