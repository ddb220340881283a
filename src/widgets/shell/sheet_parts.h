#pragma once

#include "shell/theme.h"

#include <QColor>
#include <QLabel>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// The small pieces the sheets (transfer, "Na Tovi", collection, tutorial) are built from.
namespace tovi::SheetParts {

// The one inset of every sheet's parts from its sides.
constexpr int margin = 24;

// Above and below each part of a sheet (the sides are `margin`), and between the body's rows.
struct Spacing {
    int headerTop = 18;
    int headerBottom = 8;
    int bodyTop = 4;
    int bodyBottom = 16;
    int body = 14;
    int footerTop = 8;
    int footerBottom = 16;
};

// A sheet's parts, top to bottom in `outer` with nothing between them: the title row, the body
// in its scroll area, and the footer bar that stays under it. The sheet fills them in; it may
// put a row of its own between them into `outer`, or a full-width one into the footer bar above
// `footer`.
struct Skeleton {
    QVBoxLayout* outer = nullptr;
    QHBoxLayout* header = nullptr; // holds `title`, stretched
    QLabel* title = nullptr;       // title 2, bold, the sheet's title
    QScrollArea* scroll = nullptr; // named "body"
    QVBoxLayout* body = nullptr;
    QWidget* footerBar = nullptr;
    QVBoxLayout* footer = nullptr; // inset in the footer bar
};

// Makes `sheet` a window-modal sheet titled `title`, of `size` or as much of it as the screen
// holds, filled with the window's colour, and lays out its skeleton.
Skeleton buildSheet(QDialog* sheet, const QString& title, QSize size, const Spacing& spacing = {});

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
// A borderless text button, named `name` and read as `text`, in the body font unless told;
// flatButtonStyle gives it its colours.
QPushButton* flatButton(const QString& text, const QString& name,
                        Typography::Style style = Typography::Style::body,
                        QFont::Weight weight = QFont::Medium);
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

// A rounded band without an edge, in a tint asked for at each paint (so it follows the theme).
class Band : public QWidget {
public:
    using Tint = std::function<QColor(const QWidget* band)>;
    // Ends rounded to half the height.
    static constexpr qreal pill = -1;
    Band(Tint tint, qreal radius);
    // The band's shape in `widget`, for a widget that paints more than the band.
    static void paint(QWidget* widget, const QColor& tint, qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Tint m_tint;
    qreal m_radius;
};

// A one-point divider in the text colour, faint.
class Hairline : public QWidget {
public:
    Hairline();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tovi::SheetParts
