#include "platform_error.h"

#include <cerrno>

namespace tovi {

PlatformError::PlatformError(Kind kind, QString path, int errorNumber)
    : m_kind(kind)
    , m_path(std::move(path))
    , m_errno(errorNumber) {}

PlatformError PlatformError::fromErrno(int errorNumber, const QString& path) {
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return {outOfSpace, path, errorNumber};
    case ENOENT:
        return {notFound, path, errorNumber};
    case EACCES:
    case EPERM:
        return {permissionDenied, path, errorNumber};
    case EROFS:
        return {readOnly, path, errorNumber};
    case EEXIST:
    case ENOTEMPTY:
        return {alreadyExists, path, errorNumber};
    case ENOTDIR:
        return {notADirectory, path, errorNumber};
    case EISDIR:
        return {isADirectory, path, errorNumber};
    default:
        return {io, path, errorNumber};
    }
}

QString PlatformError::message() const {
    const QString where = m_path.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_path);
    switch (m_kind) {
    case outOfSpace:
        return QStringLiteral("Brak miejsca na dysku. Zwolnij miejsce i spróbuj ponownie.") + where;
    case notFound:
        return QStringLiteral("Nie znaleziono pliku lub folderu") + where +
               QStringLiteral(". Sprawdź, czy dysk jest nadal podłączony.");
    case permissionDenied:
        return QStringLiteral("Brak uprawnień do zapisu lub odczytu") + where + QStringLiteral(".");
    case readOnly:
        return QStringLiteral("Dysk jest tylko do odczytu") + where +
               QStringLiteral(". Nie można na nim niczego zapisać.");
    case alreadyExists:
        return QStringLiteral("Plik o tej nazwie już istnieje") + where + QStringLiteral(".");
    case notADirectory:
        return QStringLiteral("Wskazane miejsce nie jest folderem") + where + QStringLiteral(".");
    case isADirectory:
        return QStringLiteral("Wskazane miejsce jest folderem, a nie plikiem") + where +
               QStringLiteral(". Wybierz plik.");
    case io:
        break;
    }
    return QStringLiteral("Błąd odczytu lub zapisu na dysku") + where +
           QStringLiteral(". Sprawdź połączenie i spróbuj ponownie.");
}

} // namespace tovi
