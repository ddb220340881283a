#include "device_job.h"

#include "app/background_task.h"

namespace tovi {

DeviceJob::DeviceJob(QObject* parent)
    : QObject(parent) {
    connect(&m_watch, &DeviceWatch::stalledChanged, this, &DeviceJob::stalledChanged);
}

quint64 DeviceJob::begin(bool watching) {
    ++m_job;
    m_abandoned = std::make_shared<std::atomic<bool>>(false);
    if (watching)
        m_watch.start();
    return m_job;
}

DeviceJob::Step DeviceJob::step() {
    return [relay = InterfaceRelay(this), self = this, job = m_job,
            abandoned = m_abandoned](std::function<void()> told) {
        relay([self, job, told = std::move(told)] {
            if (job != self->m_job)
                return;
            self->m_watch.beat();
            if (told)
                told();
        });
        return !abandoned->load();
    };
}

void DeviceJob::watch() {
    m_watch.start();
}

bool DeviceJob::finish(quint64 job) {
    if (job != m_job)
        return false;
    m_watch.stop();
    return true;
}

bool DeviceJob::stopWaiting() {
    if (!m_watch.stalled())
        return false;
    m_abandoned->store(true);
    ++m_job;
    m_watch.stop();
    return true;
}

} // namespace tovi
