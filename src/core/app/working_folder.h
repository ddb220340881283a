#pragma once

#include <QString>

namespace tovi::WorkingFolder {

// The application's private working folder, "ToviStudio" in the user's data folder (so
// `XDG_DATA_HOME` points tests elsewhere), created when missing: media copies, exports and the
// packs' storage live there. Throws PlatformError when it cannot be found or created.
QString path();

// "Usunięte z Tovi" in the working folder, created when missing: whatever the person takes away
// (a picture off the Tovi, an own pack) is moved here, never deleted, so it can be brought back.
// Throws PlatformError.
QString removedItems();

} // namespace tovi::WorkingFolder
