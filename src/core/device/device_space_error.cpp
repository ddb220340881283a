#include "device_space_error.h"

#include "device/device_space.h"

namespace tovi {

namespace {
const QString lead = QStringLiteral("Na Tovi brakuje miejsca: ");
} // namespace

QString DeviceSpaceError::message() const {
    return lead +
           QStringLiteral("potrzeba %1, wolne %2.")
               .arg(DeviceSpace::megabytes(m_needed, true), DeviceSpace::megabytes(m_free, false));
}

bool DeviceSpaceError::isMessage(const QString& text) {
    return text.startsWith(lead);
}

} // namespace tovi
