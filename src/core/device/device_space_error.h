#pragma once

#include "app/platform_error.h"
#include "app/tovi_error.h"

namespace tovi {

// A file does not fit on the Tovi. Its own kind, apart from a full computer disk
// (PlatformError::outOfSpace), so that the window can offer to make room on the device.
class DeviceSpaceError : public ToviError {
public:
    DeviceSpaceError(qint64 needed, qint64 free)
        : m_needed(needed)
        , m_free(free) {}
    qint64 needed() const { return m_needed; }
    qint64 free() const { return m_free; }
    // "Na Tovi brakuje miejsca: potrzeba 1,9 MB, wolne 0,4 MB."
    QString message() const override;
    FailureKind failureKind() const override { return FailureKind::deviceFull; }
    // Throws a DeviceSpaceError when `error`, from writing `bytes` into `folder`, came from a full
    // volume; returns otherwise, for the caller to rethrow `error`.
    static void rethrowIfFull(const PlatformError& error, const QString& folder, qint64 bytes);

private:
    qint64 m_needed;
    qint64 m_free;
};

} // namespace tovi
