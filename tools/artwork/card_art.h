#pragma once

#include <QImage>
#include <QStringList>

namespace tovi::artwork {

inline constexpr int cardSide = 720;

// The packs the generator can draw, in collection order.
QStringList packIds();

// The artwork of card `slot` (0…5) of a pack, cardSide pixels square and opaque. What matters
// stays inside the central circle, above the lower band that captions may cover. Throws
// std::invalid_argument for an unknown pack or slot.
QImage cardArt(const QString& packId, int slot);

} // namespace tovi::artwork
