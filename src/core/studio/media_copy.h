#pragma once

#include "app/file_descriptor.h"
#include "media/media_types.h"

#include <QString>
#include <memory>

namespace tovi {

// The studio's private copy of an imported file in the working folder, named by a UUID. While
// the object lives the file carries a shared flock, so that another instance of the application
// (or the command line) cleaning up at start-up never removes a copy that is in use. The object
// only releases the lock when it goes; remove() deletes the file as well. Any thread.
class MediaCopy {
public:
    // Copies `source` to a new file `target` and locks it. Throws PlatformError; no partial copy
    // is left behind.
    static std::shared_ptr<MediaCopy> make(const QString& source, const QString& target);

    // Takes up the copy `path` that an earlier run left (the work it saved), locked as make()
    // locks it; nothing when the file is gone, is not a regular file, or another process holds
    // it (that instance is still working on it).
    static std::shared_ptr<MediaCopy> adopt(const QString& path);

    // Removes the earlier copies in `folder`: regular files named by a UUID (with or without an
    // extension) that no process holds and that are not brand new. Everything else (exported
    // "tovi-…" files, the "Packs" folder, foreign files) stays. Failures are ignored.
    // The copy named `keep` stays too.
    static void removeStale(const QString& folder, const QString& keep = {});

    // A file name as the studio gives its copies.
    static bool isCopyName(const QString& name);

    MediaCopy(const MediaCopy&) = delete;
    MediaCopy& operator=(const MediaCopy&) = delete;

    const QString& path() const { return m_path; }
    // Deletes the file (ignoring failures) and releases it.
    void remove();

private:
    MediaCopy(QString path, FileDescriptor fd);
    QString m_path;
    FileDescriptor m_fd;
};

// A fresh private copy of the person's file `source` in the working folder (a new UUID and the
// file's own extension) and what inspecting the copy found. No copy is left behind on failure.
// Throws what MediaCopy::make and MediaProcessor::inspect throw. Any thread.
struct InspectedCopy {
    MediaInfo media;
    std::shared_ptr<MediaCopy> copy;
    static InspectedCopy of(const QString& source);
};

} // namespace tovi
