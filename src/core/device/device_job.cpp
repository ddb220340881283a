#include "device_job.h"

#include "app/background_task.h"

namespace tovi {

DeviceJob::DeviceJob(QObject* parent)
    : QObject(parent) {
    connect(&m_watch, &DeviceWatch::stalledChanged, this, &DeviceJob::stalledChanged);
}

quint64 DeviceJob::begin(bool watching) {
    m_current = m_jobs.start();
    if (watching)
        m_watch.start();
    return m_current.number();
}

DeviceJob::Step DeviceJob::step() {
    return
        [relay = InterfaceRelay(this), self = this, job = m_current](std::function<void()> told) {
            relay([self, job, told = std::move(told)] {
                if (!job.current())
                    return;
                self->m_watch.beat();
                if (told)
                    told();
            });
            return job.current();
        };
}

void DeviceJob::watch() {
    m_watch.start();
}

bool DeviceJob::finish(quint64 job) {
    if (job != m_current.number() || !m_current.current())
        return false;
    m_watch.stop();
    return true;
}

bool DeviceJob::stopWaiting() {
    if (!m_watch.stalled())
        return false;
    m_jobs.drop();
    m_watch.stop();
    return true;
}

} // namespace tovi
