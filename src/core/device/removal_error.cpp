#include "removal_error.h"

#include <QDir>

namespace tovi {

QString RemovalError::message() const {
    switch (m_kind) {
    case copyFailed:
        return QStringLiteral("Kopia pliku na komputerze nie zgadza się z plikiem na Tovi, więc "
                              "niczego nie usunięto.");
    case changed:
        return QStringLiteral("Plik zmienił się na Tovi w trakcie usuwania, więc go nie usunięto. "
                              "Spróbuj ponownie.");
    case interrupted:
        return QStringLiteral("Usuwanie z Tovi zostało przerwane. ") + m_cause +
               QStringLiteral(" Sprawdzona kopia pliku jest tu: ") +
               QDir::toNativeSeparators(m_copy);
    }
    return {};
}

} // namespace tovi
