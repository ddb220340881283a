#pragma once

#include <QString>

namespace tovi {

// The model of the single-graphic mode. For now only its device-folder rule.
class StudioModel {
public:
    // The album folder to write into for the folder the user chose (`in`: an album folder or the
    // device root) and the selected album. Throws MediaError::invalidFolder for an unusable
    // choice, PlatformError when the candidate cannot be examined. Any thread.
    static QString photoFolder(const QString& in, const QString& selected);
};

} // namespace tovi
