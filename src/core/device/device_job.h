#pragma once

#include "app/latest_request.h"
#include "device/device_watch.h"

#include <QObject>
#include <chrono>
#include <functional>

namespace tovi {

// The device work of one owner (a model, a command) that the person may stop waiting for: the
// job's number, whether it was abandoned, and the watch over the device's silence (DeviceWatch).
// One job is current at a time. Once it is abandoned or a newer one has begun, nothing the work
// reports or returns reaches the owner any more, and its steps tell it to stop. Interface thread;
// a Step may be called from any thread.
class DeviceJob : public QObject {
    Q_OBJECT
public:
    // What the work calls after each step it finished, on its own thread. `told` (when given) runs
    // on the interface thread after the watch has heard the device answer, unless the job is no
    // longer current by then. Returns false from then on: the work stops there.
    using Step = std::function<bool(std::function<void()> told)>;

    explicit DeviceJob(QObject* parent = nullptr);

    // Begins the next job and returns its number; the one before is dropped. With `watching` the
    // watch starts at once, otherwise at watch(), when the work reaches the device.
    quint64 begin(bool watching);
    // The Step of the job begun last, for its work.
    Step step();
    // The work has reached the device: the watch starts.
    void watch();
    // The outcome of job `job` arrived. True when it is still current: the watch stops and the
    // outcome is the owner's to show. False when it was abandoned: the person was already told.
    bool finish(quint64 job);
    // Only while the device is silent (stalled): abandons the current job, whose steps return
    // false from now on and whose news and outcome are dropped. Returns whether it did.
    bool stopWaiting();

    bool stalled() const { return m_watch.stalled(); }
    // How long the device may stay silent before `stalled`.
    void setPatience(std::chrono::milliseconds patience) { m_watch.setPatience(patience); }

signals:
    void stalledChanged();

private:
    DeviceWatch m_watch;
    LatestRequest m_jobs;
    LatestRequest::Ticket m_current; // the job begun last
};

} // namespace tovi
