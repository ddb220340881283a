#pragma once

#include <QString>

namespace tovi {

// Brackets every use of a folder the user chose. Linux grants access by the folder's own
// permissions, so there is nothing to start or stop; the guard keeps the one place where a
// platform that needs it would do so. Any thread.
class ScopedAccess {
public:
    explicit ScopedAccess(const QString& folder)
        : m_folder(folder) {}
    ScopedAccess(const ScopedAccess&) = delete;
    ScopedAccess& operator=(const ScopedAccess&) = delete;
    ~ScopedAccess() = default;

    // Whether access was started (and so will be stopped by the destructor).
    bool started() const { return true; }
    const QString& folder() const { return m_folder; }

private:
    QString m_folder;
};

} // namespace tovi
