#pragma once

#include "app/product.h"
#include "packs/own_pack.h"

#include <QString>
#include <array>

// The pack file people share, "NAME.tovipack": a ZIP archive holding "pack.json" (PackContent's
// JSON with its "format" number) and the pictures it names, beside it. Stateless; any thread.
namespace tovi::PackFile {

// What a pack file may hold. Nothing the application writes comes near them.
inline constexpr int maxEntries = 64;
inline constexpr quint64 maxUnpackedBytes = quint64(64) << 20;
inline constexpr quint64 maxRatio = 100;

// The pack's name as a file name: the characters a file name cannot hold replaced, no leading
// dot; "zestaw" when nothing is left.
QString safeFileName(const QString& packName);
// "NAME.tovipack" for the pack's name.
QString suggestedFileName(const QString& packName);

// The file names the six pictures get in a pack: "1.jpg"…, by slot and the source's extension;
// cards that share a picture share its name.
std::array<QString, Product::cardCount>
pictureNames(const std::array<QString, Product::cardCount>& pictures);

// Writes `content` as a pack file at `path`, replacing it atomically: the pictures go in byte
// for byte. Throws OwnPackError::tooLargeToShare when the file could not be imported again, or
// PlatformError; `path` is untouched then.
void write(const PackContent& content, const QString& path);

// Reads the pack file at `path` into the empty folder `folder`: any honest ZIP, its entries'
// sizes in their headers or in data descriptors after their data, its files at the top or all
// in one folder (which is then read as if it were not there). First, from the archive's
// central directory: every entry's name (no "..", absolute path, backslash or drive letter), its
// kind (no link), their number and their unpacked sizes and compression ratios. Then only
// "pack.json" and the pictures it names are unpacked, each stopped the moment it gives more bytes
// than its header promised; each picture must open within the decode budget. Throws OwnPackError (a
// kind for each reason) or PlatformError. Nothing is ever written outside `folder`; on failure it
// may hold part of the pictures, and the caller removes it. Returns the content, its pictures in
// `folder`.
PackContent read(const QString& path, const QString& folder);

} // namespace tovi::PackFile
