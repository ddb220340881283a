#pragma once

#include "app/tovi_error.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace tovi {

// The Polish text for a failure caught from any work: a ToviError's message, or a plain sentence
// for the rare failures outside the system's own (out of memory, a library's exception).
QString describeFailure(std::exception_ptr failure);
// The kind of that failure: a ToviError's own, `other` for the rest.
FailureKind failureKind(std::exception_ptr failure);

// How a background job ended: its value, or the text and kind of its failure, or a requested stop.
template <typename T> struct Outcome {
    std::optional<T> value;
    QString error; // set exactly when it failed
    FailureKind errorKind = FailureKind::other;
    bool cancelled = false;

    bool ok() const { return value.has_value(); }
};

// Hands calls from any thread to the interface thread, where each runs only if `receiver` still
// lives by then. Make it on the interface thread while `receiver` surely lives; copies may go to
// any thread. Calls made after the application has ended are dropped.
class InterfaceRelay {
public:
    explicit InterfaceRelay(QObject* receiver)
        : m_alive(receiver) {}

    template <typename Call> void operator()(Call call) const {
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                application,
                [alive = m_alive, call = std::move(call)]() mutable {
                    if (alive)
                        call();
                },
                Qt::QueuedConnection);
    }

private:
    QPointer<QObject> m_alive;
};

namespace detail {

// The job that runs `work` and hands its Outcome to `done` on the interface thread.
template <typename Work, typename Done> auto backgroundJob(QObject* context, Work work, Done done) {
    using Result = std::invoke_result_t<Work&>;
    using Value = std::conditional_t<std::is_void_v<Result>, std::monostate, Result>;
    return [work = std::move(work), done = std::move(done),
            relay = InterfaceRelay(context)]() mutable {
        Outcome<Value> outcome;
        try {
            if constexpr (std::is_void_v<Result>) {
                work();
                outcome.value = std::monostate{};
            } else {
                outcome.value = work();
            }
        } catch (const Cancelled&) {
            outcome.cancelled = true;
        } catch (...) {
            outcome.error = describeFailure(std::current_exception());
            outcome.errorKind = failureKind(std::current_exception());
        }
        // The model lives on the interface thread, so whether it is still there is asked there.
        relay([done = std::move(done), outcome = std::move(outcome)]() mutable { done(outcome); });
    };
}

} // namespace detail

// The threads of the application's own background work. Not Qt's global pool: Qt's painting
// fills large areas on that pool and waits for it, so decoding and rendering there would freeze
// the window while they run. The application waits for it when it ends; tests wait for it with
// waitForDone().
QThreadPool& workerThreads();

// Runs `work` on workerThreads() and hands its Outcome to `done` on the interface thread. `work`
// must touch only what it captured by value. When `context` (the model) is gone by then, `done`
// is not called; the work itself is never awaited.
template <typename Work, typename Done>
void runInBackground(QObject* context, Work work, Done done) {
    // Nothing waits for the work: its future is dropped on purpose.
    (void)QtConcurrent::run(&workerThreads(),
                            detail::backgroundJob(context, std::move(work), std::move(done)));
}

// While it lives, the calling thread runs only when the machine has nothing else to do (Linux's
// SCHED_IDLE), and so do the threads it starts (decoders, the GIF writer's): for work made ahead
// of need, which must never slow the window. The thread's scheduling is restored after.
class IdleScheduling {
public:
    IdleScheduling();
    ~IdleScheduling();
    IdleScheduling(const IdleScheduling&) = delete;
    IdleScheduling& operator=(const IdleScheduling&) = delete;

private:
    int m_policy = -1; // none changed
    int m_priority = 0;
};

// The threads of device work: a pool of its own, so that a call hung on a device for minutes
// never holds one of the global pool's few threads (previews render there). It is never
// destroyed, so quitting never waits for a hung device; tests wait for it with waitForDone().
QThreadPool& deviceThreads();

// As runInBackground, on one of deviceThreads(): for work on a device that may hang in a call
// once the person stopped waiting for it.
template <typename Work, typename Done>
void runOnOwnThread(QObject* context, Work work, Done done) {
    (void)QtConcurrent::run(&deviceThreads(),
                            detail::backgroundJob(context, std::move(work), std::move(done)));
}

} // namespace tovi
