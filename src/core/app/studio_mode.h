#pragma once

#include <QColor>
#include <QString>
#include <array>

namespace tovi {

// The two modes of the window; the raw value is also the visible title.
enum class StudioMode { artwork, cards };
inline constexpr std::array allStudioModes{StudioMode::artwork, StudioMode::cards};
QString rawValue(StudioMode mode);
QString subtitle(StudioMode mode);

// The colours every screen shares, and the theme that follows the case colour.
namespace StudioAppearance {
// The window background: white level 0.12 when dark, 0.95 when light.
QColor background(bool dark);
// The orange tint of the whole window.
QColor accent();
// Only the stored case colour "black" selects the dark theme.
bool isDark(const QString& caseColor);
} // namespace StudioAppearance

} // namespace tovi
