#pragma once

#include "device/game1_installer.h"

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << bytes.size() << " bytes \"" << bytes.left(24).toPercentEncoding().toStdString()
         << (bytes.size() > 24 ? "…" : "") << '"';
}

namespace tovi::test {

// The kind of `Error` that `call` throws; none when it throws nothing.
template <typename Error> std::optional<int> kindThrown(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return int(error.kind());
    }
    return std::nullopt;
}

// A GIF written with giflib: `frames` frames on a `screen`-sized logical screen; frame i covers
// `frameSizes[i]` when given (else the whole screen). `seed` varies the pixels, `noise` makes
// them hard to compress (bigger files).
QByteArray makeGif(int seed, QSize screen = {240, 240}, int frames = 1,
                   const std::vector<QSize>& frameSizes = {}, bool noise = false);
// `gif` grown to exactly `size` bytes with a comment block before its trailer.
QByteArray padGif(const QByteArray& gif, qint64 size);
// Six distinct valid cards.
Game1Installer::Files cardSet(int seed, int frames = 1, bool noise = false);

void writeFile(const QString& path, const QByteArray& bytes);
// Writes to `path` (after what it holds, with `append`) until its volume is full.
void fillUp(const QString& path, bool append = false);
// A picture of one colour, in the format its suffix names; returns `path`.
QString savePicture(const QString& path, QSize size, QColor colour);
void makeFolder(const QString& path);
// Photo1–3 and Game1–3 under `root`, with `game1` written into Game1.
void makeDevice(const QString& root, const Game1Installer::Files& game1 = {});
// Every file below `folder` by relative path; folders listed with a trailing "/" and no contents.
std::map<QString, QByteArray> tree(const QString& folder);
// The folders directly inside `folder`.
QStringList folders(const QString& folder);

} // namespace tovi::test
