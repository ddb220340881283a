#pragma once

#include <QString>

namespace tovi {

// The room on the volume that holds a folder, as the volume itself reports it (statvfs), and
// what a file of a given size really takes there: whole clusters. Quick synchronous calls on a
// removable disk (they may hang with it); any thread.
struct DeviceSpace {
    qint64 free = 0;    // bytes an unprivileged writer may still use
    qint64 total = 0;   // bytes of the whole volume
    qint64 cluster = 1; // the allocation unit: every file takes a whole number of them

    // The space of the volume holding `folder`. Throws PlatformError when it cannot be asked.
    static DeviceSpace of(const QString& folder);

    // `bytes` rounded up to whole clusters: what a file of that size occupies.
    qint64 allocated(qint64 bytes) const;

    // Throws DeviceSpaceError, before anything is written, unless a new file of `bytes` fits in
    // `folder`'s volume. PlatformError when the volume cannot be asked.
    static void require(const QString& folder, qint64 bytes);

    // "1,9 MB" (decimal megabytes, a Polish decimal comma): `up` rounds up, else down, so that
    // a need is never shown smaller, nor free space larger, than it is.
    static QString megabytes(qint64 bytes, bool up);
    // A file's size: "241 kB" below a megabyte, "1,2 MB" above, never shown smaller than it is.
    static QString fileSize(qint64 bytes);
    // "Wolne: 0,4 MB z 512,0 MB".
    QString freeText() const;
};

} // namespace tovi
