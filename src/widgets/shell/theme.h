#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QString>

class QWidget;

namespace tovi {

// The look every screen shares: the light and dark palettes, the accent, the secondary and
// hairline shades, and whether the desktop asks for less motion or transparency.
namespace Theme {

// Fusion with our palette for the whole application; dark follows the case colour.
void apply(bool dark);
bool isDark();
QPalette palette(bool dark);

// The text colour at a given opacity: secondary text (0.55), hairlines (0.06), fills (0.04).
QColor primary(const QWidget* widget, double opacity = 1.0);
QColor secondary(const QWidget* widget);

// GNOME's "enable-animations" off means reduced motion; transparency is never reduced here
// unless asked for with TOVI_REDUCE_TRANSPARENCY=1.
bool reduceMotion();
bool reduceTransparency();

} // namespace Theme

// The orange of the whole window.
namespace MacStudioStyle {
QColor accent();
}

// The text styles the screens name, relative to the desktop's base font.
namespace Typography {
enum class Style {
    largeTitle,
    title,
    title2,
    title3,
    headline,
    body,
    callout,
    subheadline,
    caption
};
QFont font(Style style, QFont::Weight weight = QFont::Normal);
} // namespace Typography

// Our own symbols: resources/icons/<name>.svg drawn in one colour.
namespace Icons {
// The symbol at `size` device-independent pixels, in `color`; null when it does not exist.
QPixmap pixmap(const QString& name, const QColor& color, int size, qreal devicePixelRatio = 2.0);
QIcon icon(const QString& name, const QColor& color, int size = 16);
} // namespace Icons

} // namespace tovi
