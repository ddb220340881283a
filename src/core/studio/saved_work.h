#pragma once

#include "media/media_types.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tovi {

// What the studio was working on, kept in the working folder so that the next start opens it as
// it was left: the private copy of the media (a file name in the working folder), the name the
// person knows it by, and the export settings.
struct SavedWork {
    QString copy;
    QString mediaName;
    ExportOptions options;

    bool operator==(const SavedWork&) const = default;

    // "studio.json" in the working folder. Throws PlatformError.
    static QString file();
    QByteArray encode() const;
    // Nothing for anything encode() did not write: another version, a missing or mistyped
    // field, a number that is not finite, or a copy name that could lead out of the working
    // folder. The first version, without order and speed, reads as normal at 1 ×.
    static std::optional<SavedWork> decode(const QByteArray& bytes);
};

} // namespace tovi
