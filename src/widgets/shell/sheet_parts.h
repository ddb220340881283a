#pragma once

#include "shell/theme.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

// The small pieces the sheets (transfer, tutorial) are built from.
namespace tovi::SheetParts {

bool isDark(const QWidget* widget);
using Theme::css;
QColor withAlpha(QColor color, double alpha);
// A wrapping, non-selectable label in a text style; `secondary` greys it.
QLabel* textLabel(const QString& text, Typography::Style style, QFont::Weight weight,
                  bool secondary = false);

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
