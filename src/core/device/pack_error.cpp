#include "pack_error.h"

namespace tovi {

QString PackError::message() const {
    switch (m_kind) {
    case rollbackFailed:
        return QStringLiteral("Zapis przerwano i nie udało się przywrócić wszystkich plików. Kopia "
                              "jest zachowana: ") +
               m_path;
    case missingResource:
        return QStringLiteral("Brakuje części plików zestawu. Zainstaluj ponownie aplikację.");
    case folder:
        return QStringLiteral("Wskaż folder Game1 na Tovi albo dysk Tovi zawierający Game1, Game2 "
                              "i Game3.");
    case payload:
        return QStringLiteral("Zestaw musi zawierać sześć GIF-ów 240 × 240 o nazwach 1.gif–6.gif.");
    case backupFailed:
        return QStringLiteral(
            "Nie udało się zweryfikować kopii poprzedniej zawartości. Niczego nie "
            "podmieniono.");
    case sourceChanged:
        return QStringLiteral("Zawartość Game1 zmieniła się w trakcie operacji. Spróbuj ponownie.");
    case backupOnDevice:
        return QStringLiteral("Kopii poprzedniego zestawu nie można zapisać na dysku Tovi. Wskaż "
                              "folder na kopie na komputerze.");
    }
    return {};
}

} // namespace tovi
