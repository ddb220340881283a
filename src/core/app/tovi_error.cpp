#include "tovi_error.h"

namespace tovi {

const char* ToviError::what() const noexcept {
    if (m_what.isEmpty())
        m_what = message().toUtf8();
    return m_what.constData();
}

} // namespace tovi
