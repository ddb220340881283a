#pragma once

#include "app/settings.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace tovi::test {

// A private home for a model: the XDG data and config folders (so the working folder and the
// settings file) live in a temporary folder for the object's lifetime, and the previous
// environment comes back afterwards. One at a time.
class ModelHome {
public:
    ModelHome();
    ~ModelHome();
    ModelHome(const ModelHome&) = delete;
    ModelHome& operator=(const ModelHome&) = delete;

    QString path() const { return m_dir.path(); }
    // The working folder the models use ("…/data/ToviStudio"); not created here.
    QString library() const;
    QString packs() const;
    Settings& settings() { return *m_settings; }
    // A fresh Settings object on the same file, as a new run of the application reads it.
    std::unique_ptr<Settings> reopenSettings() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
    std::unique_ptr<Settings> m_settings;
};

// Runs the event loop until `done` holds; false when `timeoutMs` passed first.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 60000);
// Runs the event loop for `ms` milliseconds.
void spin(int ms);
// Waits until the background work of every pool (Qt's, the workers', the device's) is done.
void waitForWork();
// Lets background work finish and its results and repaints arrive.
void settle();

} // namespace tovi::test
