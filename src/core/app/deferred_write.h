#pragma once

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

namespace tovi {

// The newest content of one small file that changes often (a drag changes it sixty times a
// second), written atomically on workerThreads() once the changes have settled for `settleMs`.
// Content not written yet is replaced by newer content; the writes of one object never overlap,
// so the last content given is the one that stays. Going away hands what is still waiting to the
// workers at once: the application waits for them when it ends. Write failures are dropped: the
// file is a convenience, never the only copy of anything. Interface thread only.
class DeferredWrite {
public:
    static constexpr int settleMs = 250;

    explicit DeferredWrite(QString path);
    ~DeferredWrite();
    DeferredWrite(const DeferredWrite&) = delete;
    DeferredWrite& operator=(const DeferredWrite&) = delete;

    const QString& path() const { return m_path; }
    void write(const QByteArray& bytes);
    // Removes the file, in its turn with the writes.
    void remove();
    // Hands the waiting change to the workers now.
    void flush();

    struct Queue;

private:
    void change(std::optional<QByteArray> content);

    QString m_path;
    QTimer m_settle;
    bool m_waiting = false;
    std::optional<QByteArray> m_content; // nothing: remove the file
    std::shared_ptr<Queue> m_queue;
};

} // namespace tovi
