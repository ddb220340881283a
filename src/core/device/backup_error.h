#pragma once

#include "app/tovi_error.h"

#include <QStringList>

namespace tovi {

// Why a local backup cannot be put back onto the device.
class BackupError : public ToviError {
public:
    enum Kind {
        damaged,   // copies and manifest.json disagree, or either is missing or unreadable
        incomplete // intact, but does not hold all six cards
    };

    explicit BackupError(Kind kind, QStringList problems = {})
        : m_kind(kind)
        , m_problems(std::move(problems)) {}
    Kind kind() const { return m_kind; }
    const QStringList& problems() const { return m_problems; }
    QString message() const override;

private:
    Kind m_kind;
    QStringList m_problems;
};

} // namespace tovi
