#pragma once

#include <QSize>
#include <QString>

namespace tovi {

// One file of an album (or a card of Game1) as the Tovi would take it: a GIF or a JPEG it can
// show, or a file it cannot. Read cheaply: a GIF's blocks are walked without decompressing a
// pixel, a JPEG's markers up to its frame header and its end. Value type; any thread.
struct DevicePicture {
    enum class Kind {
        gif,
        jpeg,
        unsupported, // neither GIF nor JPEG (or not a plain file)
        broken,      // a GIF or JPEG that is cut off or malformed
        missing      // a card of Game1 that is not there
    };

    QString name;
    Kind kind = Kind::unsupported;
    qint64 bytes = 0;
    QSize size;             // the picture's pixels; empty unless gif or jpeg
    int frames = 0;         // 1 for a JPEG
    double seconds = 0;     // a GIF's duration: each frame's delay, at least 0.02 s, 0.1 s if none
    double lastSeconds = 0; // the last frame's delay: a card holds its last picture for minutes

    // True for the kinds the Tovi shows.
    bool showable() const { return kind == Kind::gif || kind == Kind::jpeg; }

    // The file at `path`, by its content, not its name. Never throws: a file that cannot be
    // read is `broken` when it began like a picture, `unsupported` otherwise.
    static DevicePicture read(const QString& path);

    // "GIF", "JPEG", "nieobsługiwany", "uszkodzony", "brak": the kind as the window and tovi
    // name it.
    static QString kindText(Kind kind);
};

} // namespace tovi
