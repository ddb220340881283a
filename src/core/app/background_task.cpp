#include "background_task.h"

#include "app/tovi_error.h"

#include <QCoreApplication>
#include <QThread>

#include <new>

#include <pthread.h>
#include <sched.h>

namespace tovi {

QString describeFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ToviError& error) {
        return error.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Zabrakło pamięci. Zamknij inne programy i spróbuj ponownie.");
    } catch (...) {
        return QStringLiteral("Wystąpił nieoczekiwany błąd. Spróbuj ponownie.");
    }
}

FailureKind failureKind(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ToviError& error) {
        return error.failureKind();
    } catch (...) {
        return FailureKind::other;
    }
}

QThreadPool& workerThreads() {
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(QThread::idealThreadCount());
        // As with Qt's own pool, the application ends only once its work has: a job must not
        // run on while the program's statics are torn down.
        qAddPostRoutine([] { workerThreads().waitForDone(); });
        return threads;
    }();
    return *pool;
}

IdleScheduling::IdleScheduling() {
    sched_param param{};
    int policy = 0;
    if (pthread_getschedparam(pthread_self(), &policy, &param) != 0)
        return;
    sched_param idle{};
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle) == 0) {
        m_policy = policy;
        m_priority = param.sched_priority;
    }
}

IdleScheduling::~IdleScheduling() {
    if (m_policy < 0)
        return;
    sched_param param{};
    param.sched_priority = m_priority;
    pthread_setschedparam(pthread_self(), m_policy, &param);
}

QThreadPool& deviceThreads() {
    // Enough for every device job a person could leave hanging; idle threads expire.
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(32);
        return threads;
    }();
    return *pool;
}

} // namespace tovi
