#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

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

    // Where a picture is described on one line.
    enum class Listing {
        window, // "Na Tovi", joined by " · "
        command // `tovi ls`, joined by tabs after the name
    };
    // What the line says after the name: "GIF 240×240", the frames, the length and the file
    // size, or "nieobsługiwany" and the size. The window gives frames and length for a GIF only,
    // to a tenth of a second, and a last picture held a minute or more is a still end: "0,2 s,
    // potem stoi". The command line gives a JPEG's one frame too, and the whole length to a
    // hundredth.
    QStringList fields(Listing listing) const;

    // The file at `path`, by its content, not its name. Never throws: a file that cannot be
    // read is `broken` when it began like a picture, `unsupported` otherwise.
    static DevicePicture read(const QString& path);

    // "GIF", "JPEG", "nieobsługiwany", "uszkodzony", "brak": the kind as the window and tovi
    // name it.
    static QString kindText(Kind kind);
};

} // namespace tovi
