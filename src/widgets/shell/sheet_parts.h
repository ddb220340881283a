#pragma once

#include "shell/theme.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

// The small pieces the sheets (transfer, tutorial) are built from.
namespace tovi::SheetParts {

using Theme::css;
QColor withAlpha(QColor color, double alpha);
// A wrapping, non-selectable label in a text style; `secondary` greys it.
QLabel* textLabel(const QString& text, Typography::Style style, QFont::Weight weight,
                  bool secondary = false);

// A 20-point label for a symbol, hidden from screen readers; its pixmap is set when styled.
QLabel* iconLabel(const QString& name);
// A symbol and a heading on one line.
QHBoxLayout* heading(QLabel* icon, QLabel* text);
// A numbered step: the title and, when given, a secondary detail under it.
QWidget* step(int number, const QString& title, const QString& detail = {});
// The column of a Card, with the card's margins.
QVBoxLayout* cardColumn(QWidget* card);
// A borderless text button in the body font; flatButtonStyle gives it its colours.
QPushButton* flatButton(const QString& text, const QString& name);
// The style sheet of flat buttons: the accent colour, a tint on hover and when pressed.
QString flatButtonStyle(const QWidget* sheet);
// The sheet's one filled button: white on the accent, paler while it cannot be pressed.
QString accentButtonStyle();

// A grouped block: the base colour on rounded corners with a hairline.
class Card : public QWidget {
public:
    explicit Card(const QString& name = {});

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A one-point divider in the text colour, faint.
class Hairline : public QWidget {
public:
    Hairline();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tovi::SheetParts
