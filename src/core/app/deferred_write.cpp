#include "deferred_write.h"

#include "app/atomic_write.h"
#include "app/background_task.h"

#include <QFile>
#include <QThreadPool>
#include <mutex>

namespace tovi {

// What the workers still have to do for one file; one worker at a time works through it.
struct DeferredWrite::Queue {
    std::mutex mutex;
    bool pending = false;
    std::optional<QByteArray> content;
    bool running = false;
};

namespace {

void drain(const std::shared_ptr<DeferredWrite::Queue>& queue, const QString& path) {
    for (;;) {
        std::optional<QByteArray> content;
        {
            const std::lock_guard lock(queue->mutex);
            if (!queue->pending) {
                queue->running = false;
                return;
            }
            content = std::move(queue->content);
            queue->pending = false;
        }
        try {
            if (content)
                atomicWrite(path, *content);
            else
                QFile::remove(path);
        } catch (...) {
            // The next change tries again.
        }
    }
}

} // namespace

DeferredWrite::DeferredWrite(QString path)
    : m_path(std::move(path))
    , m_queue(std::make_shared<Queue>()) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    QObject::connect(&m_settle, &QTimer::timeout, &m_settle, [this] { flush(); });
}

DeferredWrite::~DeferredWrite() {
    flush();
}

void DeferredWrite::write(const QByteArray& bytes) {
    change(bytes);
}

void DeferredWrite::remove() {
    change(std::nullopt);
}

void DeferredWrite::change(std::optional<QByteArray> content) {
    m_content = std::move(content);
    m_waiting = true;
    m_settle.start();
}

void DeferredWrite::flush() {
    m_settle.stop();
    if (!m_waiting)
        return;
    m_waiting = false;
    {
        const std::lock_guard lock(m_queue->mutex);
        m_queue->content = std::move(m_content);
        m_queue->pending = true;
        if (m_queue->running)
            return;
        m_queue->running = true;
    }
    workerThreads().start([queue = m_queue, path = m_path] { drain(queue, path); });
}

} // namespace tovi
