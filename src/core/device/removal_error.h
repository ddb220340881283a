#pragma once

#include "app/tovi_error.h"

namespace tovi {

// Why a picture was not taken off the Tovi, or not completely.
class RemovalError : public ToviError {
public:
    enum Kind {
        copyFailed, // the local copy read back different: nothing was removed
        changed,    // the picture changed on the device meanwhile: nothing was removed
        interrupted // the device failed once the copy was verified; `copy` keeps the picture
    };

    explicit RemovalError(Kind kind, QString copy = {}, QString cause = {})
        : m_kind(kind)
        , m_copy(std::move(copy))
        , m_cause(std::move(cause)) {}
    Kind kind() const { return m_kind; }
    const QString& copy() const { return m_copy; }
    QString message() const override;

private:
    Kind m_kind;
    QString m_copy;
    QString m_cause;
};

} // namespace tovi
