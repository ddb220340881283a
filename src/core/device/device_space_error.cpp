#include "device_space_error.h"

#include "device/device_space.h"

namespace tovi {

QString DeviceSpaceError::message() const {
    return QStringLiteral("Na Tovi brakuje miejsca: potrzeba %1, wolne %2.")
        .arg(DeviceSpace::megabytes(m_needed, true), DeviceSpace::megabytes(m_free, false));
}

} // namespace tovi
