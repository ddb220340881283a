#pragma once

#include <QString>

namespace tovi::WorkingFolder {

// The application's private working folder, "ToviStudio" in the user's data folder (so
// `XDG_DATA_HOME` points tests elsewhere), created when missing: media copies, exports and the
// packs' storage live there. Throws PlatformError when it cannot be found or created.
QString path();

// "Usunięte z Tovi" in the working folder, created when missing: a picture taken off the Tovi is
// moved here, never deleted, so it can be brought back. Throws PlatformError.
QString removedItems();
// "Usunięte zestawy" in the working folder, created when missing: the deleted own packs, kept to
// be brought back. They never were on the Tovi. Throws PlatformError.
QString removedPacks();

// The rest of the layout, named here only. Each throws PlatformError.
// "Packs": the card edits ("edits.json") and the users' card pictures; created when missing.
QString packs();
// "Packs/Backups": the copies of Game1 taken before each installation (not created).
QString packBackups();
// "Packs/Exports": the six prepared card GIFs, a folder per preparation (not created).
QString packExports();
// "OwnPacks": the user's own packs, a folder each; created when missing.
QString ownPacks();

} // namespace tovi::WorkingFolder
