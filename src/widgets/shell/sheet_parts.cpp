#include "sheet_parts.h"

#include "shell/controls.h"

#include <QPainter>

namespace tovi::SheetParts {

bool isDark(const QWidget* widget) {
    return widget->palette().color(QPalette::Window).lightnessF() < 0.5;
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

QLabel* textLabel(const QString& text, Typography::Style style, QFont::Weight weight,
                  bool secondary) {
    auto* label = new QLabel(text);
    label->setFont(Typography::font(style, weight));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

Card::Card(const QString& name) {
    if (!name.isEmpty())
        setObjectName(name);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::primary(this, isDark(this) ? 0.08 : 0.07), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

Hairline::Hairline() {
    setFixedHeight(1);
    setDecorative(this);
}

void Hairline::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Theme::primary(this, isDark(this) ? 0.1 : 0.08));
}

} // namespace tovi::SheetParts
