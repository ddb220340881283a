#pragma once

#include <QWidget>

namespace tovi {

class PictureRow;

// The row of pictures under the device: small round thumbnails in the row's order, the selected
// one ringed. One Tab stop: the arrow keys (and Home, End) move the selection, Ctrl with an arrow
// moves the picture, Delete takes it out, as the × on the selected thumbnail does; a drag with
// the mouse moves a picture too. A screen reader hears the selected picture ("Obraz 3 z 10:
// plaża.jpg") and how to use the strip.
class PictureStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int diameter = 44;
    static constexpr int gap = 10;

    explicit PictureStrip(PictureRow& row, QWidget* parent = nullptr);

    // Where picture `index` is drawn, and its × when selected.
    QRect thumbnailRect(int index) const;
    QRect removeRect() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void sync();
    void keepSelectedInSight();
    // The place a picture dropped at `x` takes.
    int placeAt(int x) const;

    PictureRow& m_row;
    int m_scroll = 0;   // how far the strip is scrolled, for rows wider than the window
    int m_pressed = -1; // the picture under the mouse button
    int m_dropAt = -1;  // while dragging: where it would land
    QPoint m_pressPoint;
};

} // namespace tovi
