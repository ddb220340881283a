#include "backup_error.h"

namespace tovi {

QString BackupError::message() const {
    switch (m_kind) {
    case damaged:
        return QStringLiteral("Kopia jest uszkodzona albo niekompletna, więc nie zostanie wgrana "
                              "na Tovi.") +
               (m_problems.isEmpty() ? QString()
                                     : QLatin1Char(' ') + m_problems.join(QLatin1Char(' ')));
    case incomplete:
        return QStringLiteral("Kopia nie zawiera wszystkich sześciu kart (1.gif–6.gif), więc "
                              "nie można z niej przywrócić zestawu.");
    }
    return {};
}

} // namespace tovi
