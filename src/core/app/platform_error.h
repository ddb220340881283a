#pragma once

#include "app/tovi_error.h"

namespace tovi {

// A file-system failure, described in Polish. Carries the errno it came from and the path involved.
class PlatformError : public ToviError {
public:
    enum Kind {
        outOfSpace,
        notFound,
        permissionDenied,
        readOnly,
        alreadyExists,
        notADirectory,
        isADirectory, // a file was expected
        io
    };

    PlatformError(Kind kind, QString path, int errorNumber = 0);
    // Maps an errno value (as left by a failed system call) to a kind.
    static PlatformError fromErrno(int errorNumber, const QString& path);

    Kind kind() const { return m_kind; }
    const QString& path() const { return m_path; }
    int errorNumber() const { return m_errno; }
    QString message() const override;

private:
    Kind m_kind;
    QString m_path;
    int m_errno;
};

} // namespace tovi
