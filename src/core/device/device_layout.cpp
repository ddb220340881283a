#include "device_layout.h"

#include "app/platform_error.h"
#include "media/media_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace tovi {

const QStringList& DeviceLayout::albumNames() {
    static const QStringList names{QStringLiteral("Photo1"), QStringLiteral("Photo2"),
                                   QStringLiteral("Photo3")};
    return names;
}

const QStringList& DeviceLayout::gameNames() {
    static const QStringList names{QStringLiteral("Game1"), QStringLiteral("Game2"),
                                   QStringLiteral("Game3")};
    return names;
}

const QStringList& DeviceLayout::rootNames() {
    static const QStringList names = albumNames() + gameNames();
    return names;
}

bool DeviceLayout::exists(const QString& folder, const QString& name) {
    // Directory listings decide, not path lookups: a case-insensitive disk would otherwise find
    // "game1" under the name "Game1".
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .contains(name);
}

bool DeviceLayout::holdsAll(const QString& folder, const QStringList& names) {
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!entries.contains(name))
            return false;
    }
    return true;
}

QString DeviceLayout::lastComponent(const QString& folder) {
    return QFileInfo(QDir::cleanPath(folder)).fileName();
}

QString DeviceLayout::photoFolder(const QString& in, const QString& selected) {
    if (!albumNames().contains(selected))
        throw MediaError(MediaError::invalidFolder);
    const QString chosen = QDir::cleanPath(in);
    QString candidate;
    if (albumNames().contains(lastComponent(chosen)))
        candidate = chosen;
    else if (holdsAll(chosen, albumNames()))
        candidate = chosen + QLatin1Char('/') + selected;
    else
        throw MediaError(MediaError::invalidFolder);

    struct stat info {};
    if (::lstat(QFile::encodeName(candidate).constData(), &info) != 0)
        throw PlatformError::fromErrno(errno, candidate);
    if (!S_ISDIR(info.st_mode))
        throw MediaError(MediaError::invalidFolder);
    return candidate;
}

namespace {
const QString leftoversLead = QStringLiteral("Usunięto z ");
} // namespace

QString DeviceLayout::leftoversRemovedText(const QString& folder, const QStringList& removed) {
    return leftoversLead + QStringLiteral("%1 %2 po przerwanym zapisie: %3.")
                               .arg(folder,
                                    removed.size() == 1
                                        ? QStringLiteral("plik tymczasowy, który został")
                                        : QStringLiteral("pliki tymczasowe, które zostały"),
                                    removed.join(QStringLiteral(", ")));
}

bool DeviceLayout::isLeftoversRemovedText(const QString& text) {
    return text.startsWith(leftoversLead);
}

} // namespace tovi
