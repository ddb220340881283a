#pragma once

#include "app/tovi_error.h"

namespace tovi {

// The error of the whole media pipeline; message() is the text shown to the user.
class MediaError : public ToviError {
public:
    // `oversized`: a file beyond the decoders' budget of pixels, frames or time.
    enum Kind { unreadable, encode, empty, tooLarge, invalidFolder, oversized };

    explicit MediaError(Kind kind)
        : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    QString message() const override;

private:
    Kind m_kind;
};

} // namespace tovi
