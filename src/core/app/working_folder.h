#pragma once

#include <QString>

namespace tovi::WorkingFolder {

// The application's private working folder, "ToviStudio" in the user's data folder (so
// `XDG_DATA_HOME` points tests elsewhere), created when missing: media copies, exports and the
// packs' storage live there. Throws PlatformError when it cannot be found or created.
QString path();

} // namespace tovi::WorkingFolder
