#pragma once

// "Only the newest request publishes": each start() begins a request and makes every earlier one
// stale. Its Ticket is asked on the interface thread before an answer is published, and may be
// asked on any thread by the work itself, to stop early once it is stale. Made, started and
// dropped on one thread; a Ticket may go to any.

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>

namespace tovi {

class LatestRequest {
public:
    class Ticket {
    public:
        // Still the newest request. Any thread.
        bool current() const { return m_newest && m_newest->load() == m_number; }
        // As a decoder's stop request: true once stale.
        std::function<bool()> stale() const {
            return [ticket = *this] { return !ticket.current(); };
        }
        // Which request it is: later requests have larger numbers; 0 is none.
        quint64 number() const { return m_number; }

    private:
        friend class LatestRequest;
        quint64 m_number = 0;
        std::shared_ptr<const std::atomic<quint64>> m_newest;
    };

    LatestRequest() = default;
    ~LatestRequest() { drop(); }
    LatestRequest(const LatestRequest&) = delete;
    LatestRequest& operator=(const LatestRequest&) = delete;

    Ticket start() {
        Ticket ticket;
        ticket.m_number = ++m_started;
        ticket.m_newest = m_newest;
        m_newest->store(m_started);
        return ticket;
    }
    // Every request is stale; none is current until the next start().
    void drop() { m_newest->store(0); }

private:
    quint64 m_started = 0; // no request is number 0
    std::shared_ptr<std::atomic<quint64>> m_newest = std::make_shared<std::atomic<quint64>>(0);
};

} // namespace tovi
