#pragma once

#include "app/tovi_error.h"

namespace tovi {

// The error of the six-card side and of the application's own resources.
// Only rollbackFailed carries a payload: the path of the backup that was kept.
// backupOnDevice: the backup folder was asked for on the device itself.
class PackError : public ToviError {
public:
    enum Kind {
        rollbackFailed,
        missingResource,
        folder,
        payload,
        backupFailed,
        sourceChanged,
        backupOnDevice
    };

    explicit PackError(Kind kind, QString backupPath = {})
        : m_kind(kind)
        , m_path(std::move(backupPath)) {}
    Kind kind() const { return m_kind; }
    const QString& path() const { return m_path; }
    QString message() const override;

private:
    Kind m_kind;
    QString m_path;
};

} // namespace tovi
