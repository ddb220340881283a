#pragma once

#include "packs/starter_pack.h"

#include <QImage>
#include <QUrl>
#include <vector>

// Card pictures and the card GIF. Stateless; every function may run on any thread at the same
// time.
namespace tovi::PackRenderer {

// The card picture: `original` cropped by edit.crop to N × N, and with captions the caption
// band (CaptionBand) with the title, the subtitle and (slot ≥ 0) the card number "01"…"06".
// Throws MediaError::encode from the crop or the drawing.
QImage image(const QImage& original, const PackCardEdit& edit, int slot, int pixelSize);

// Frame 0 of the image file at `path`, upright, at most 2000 px on its longer side: the picture
// every card is cropped from. Throws MediaError::unreadable when it is not a decodable image,
// PlatformError when it cannot be read.
QImage original(const QString& path);

// Frame 0 of the image file at `url`, rendered at 240 × 240. Throws MediaError::unreadable
// when the file is not a decodable image.
QImage image(const QUrl& url, const PackCardEdit& edit, int slot);

// One frame of the card GIF and how long it shows.
struct CardFrame {
    QImage picture;
    double delay;
    double fade = 1; // below 1: the picture is the card at this opacity over black
};
// The 14 frames of a card GIF: the card, twelve animation steps, the card held (655.35 s, or
// 240 s for slot 5). Throws PackError::payload for a slot outside 0…5.
std::vector<CardFrame> cardFrames(const QImage& card, int slot, PackReveal animation);

// The card GIF the device stores as one of 1.gif…6.gif: the 14 frames above, looping forever.
// Throws PackError::payload for a bad slot, MediaError::encode, or MediaError::tooLarge when it
// would exceed 2 MiB.
QByteArray gif(const QImage& card, int slot, PackReveal animation);

} // namespace tovi::PackRenderer
