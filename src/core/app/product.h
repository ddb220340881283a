#pragma once

#include <QString>

namespace tovi::Product {

// The numbers of the Tovi and of what ToviStudio makes for it, named once.

// The side, in pixels, of the picture on the round screen: every graphic and card is this square.
inline constexpr int screenSide = 240;
// The cards of one dice set: 1.gif … 6.gif in Game1.
inline constexpr int cardCount = 6;
// The longest stretch of a source a graphic takes, and the slowest turn, in seconds.
inline constexpr double maxSeconds = 8;
// The longest stretch a graphic that plays forwards and back takes: its loop stays within
// 8 s of frames.
inline constexpr double maxBounceSeconds = maxSeconds / 2;
// The most frames per second a graphic has.
inline constexpr int maxFps = 12;
// The frame rates the window offers, slowest first.
inline constexpr int frameRates[] = {6, 8, maxFps};

// "240 × 240", as the interface shows the picture's size.
inline QString screenSizeText() {
    return QStringLiteral("%1 × %1").arg(screenSide);
}

} // namespace tovi::Product
