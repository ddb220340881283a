#pragma once

#include <QString>
#include <QStringList>

namespace tovi {

// What the system expects on the Tovi's disk, and how a folder the user picked becomes the album
// folder to write into. Names are compared exactly and case-sensitively. Quick synchronous checks
// that write nothing; any thread.
class DeviceLayout {
public:
    static const QStringList& albumNames(); // Photo1, Photo2, Photo3
    static const QStringList& gameNames();  // Game1, Game2, Game3
    static const QStringList& rootNames();  // the albums, then the games

    // True when an item (file or folder) named `name` exists directly inside `folder`.
    static bool exists(const QString& folder, const QString& name);
    // True when every one of `names` exists in `folder` (checked in order, up to the first
    // missing).
    static bool holdsAll(const QString& folder, const QStringList& names);
    // The last path component of `folder`, trailing slashes ignored.
    static QString lastComponent(const QString& folder);

    // The album folder for a choice `in` (an album folder or a device root) and the selected album.
    // Throws MediaError::invalidFolder for every unusable choice, or PlatformError when the
    // candidate cannot be examined. A symbolic link is never taken for a folder.
    static QString photoFolder(const QString& in, const QString& selected);

    // The progress text after temporary files of an interrupted write were removed from the
    // device folder named `folder` ("Game1", "Photo2"…).
    static QString leftoversRemovedText(const QString& folder, const QStringList& removed);
    static bool isLeftoversRemovedText(const QString& text);
};

} // namespace tovi
