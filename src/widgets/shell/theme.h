#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QString>
#include <functional>

class QAbstractButton;
class QObject;
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
// The colour of what went wrong: an error's text and symbol, a size over its limit.
QColor error();

// Runs `restyle` now and again after every change of theme, while `owner` lives: for what
// takes its colours from the theme but is not repainted from the palette (icons, sheets).
void follow(QObject* owner, std::function<void()> restyle);
// Gives `widget` the style sheet `sheet` returns, now and again whenever the application's
// palette changes: the colours of a style sheet are fixed when it is applied, so a sheet that
// names colours must be built again for a new theme. `sheet` reads Theme::palette(isDark()).
void followWithStyleSheet(QWidget* widget, std::function<QString()> sheet);
// Gives `button` the symbol `name` in the text colour at `opacity`, in every theme.
void followWithIcon(QAbstractButton* button, const QString& name, int size, double opacity = 1.0);
// A colour as a style sheet names it, alpha included.
QString css(const QColor& color);

// GNOME's "enable-animations" off means reduced motion; transparency is never reduced here
// unless asked for with TOVI_REDUCE_TRANSPARENCY=1.
bool reduceMotion();
bool reduceTransparency();

} // namespace Theme

// The orange of the whole window.
namespace StudioStyle {
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
