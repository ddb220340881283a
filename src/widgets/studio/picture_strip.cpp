#include "picture_strip.h"

#include "shell/controls.h"
#include "shell/theme.h"
#include "studio/picture_row.h"

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>

namespace tovi {
namespace {

constexpr int ring = 3;   // room for the selection ring around a thumbnail
constexpr int badge = 16; // the × on the selected one

} // namespace

PictureStrip::PictureStrip(PictureRow& row, QWidget* parent)
    : QWidget(parent)
    , m_row(row) {
    setObjectName(QStringLiteral("pictureStrip"));
    setFocusPolicy(Qt::StrongFocus);
    // Read as a list named by its selected picture; the name changes as the arrows move.
    setAccessibleRole(this, QAccessible::List);
    setMouseTracking(true);
    setAccessibleDescription(QStringLiteral("Strzałki wybierają obraz, Ctrl ze strzałką przesuwa "
                                            "go w kolejności, Delete usuwa go z wysyłki."));
    connect(&m_row, &PictureRow::changed, this, &PictureStrip::sync);
    sync();
}

QSize PictureStrip::sizeHint() const {
    const int n = std::max(1, m_row.count());
    return {n * diameter + (n - 1) * gap + 2 * ring, diameter + 2 * ring};
}

QSize PictureStrip::minimumSizeHint() const {
    return {diameter + 2 * ring, diameter + 2 * ring};
}

QRect PictureStrip::thumbnailRect(int index) const {
    const int width = sizeHint().width();
    const int left = width <= this->width() ? (this->width() - width) / 2 : -m_scroll;
    return {left + ring + index * (diameter + gap), ring, diameter, diameter};
}

QRect PictureStrip::removeRect() const {
    if (m_row.selected() < 0)
        return {};
    const QRect picture = thumbnailRect(m_row.selected());
    return {picture.right() - badge + 4, picture.top() - 2, badge, badge};
}

void PictureStrip::sync() {
    const int selected = m_row.selected();
    setAccessibleName(selected >= 0 ? m_row.spokenName(selected) : QString());
    if (hasFocus()) {
        QAccessibleEvent named(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    updateGeometry();
    keepSelectedInSight();
    update();
}

void PictureStrip::keepSelectedInSight() {
    const int overflow = sizeHint().width() - width();
    if (overflow <= 0) {
        m_scroll = 0;
        return;
    }
    if (m_row.selected() >= 0) {
        const int left = ring + m_row.selected() * (diameter + gap) - ring;
        const int right = left + diameter + 2 * ring;
        if (left < m_scroll)
            m_scroll = left;
        else if (right > m_scroll + width())
            m_scroll = right - width();
    }
    m_scroll = std::clamp(m_scroll, 0, overflow);
}

void PictureStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    keepSelectedInSight();
}

int PictureStrip::placeAt(int x) const {
    for (int i = 0; i < m_row.count(); ++i)
        if (x < thumbnailRect(i).center().x())
            return m_pressed >= 0 && i > m_pressed ? i - 1 : i;
    return m_row.count() - 1;
}

void PictureStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = StudioStyle::accent();
    for (int i = 0; i < m_row.count(); ++i) {
        const QRect place = thumbnailRect(i);
        if (!place.intersects(rect()))
            continue;
        QPainterPath circle;
        circle.addEllipse(QRectF(place));
        painter.save();
        painter.setClipPath(circle);
        if (i == m_pressed && m_dropAt >= 0)
            painter.setOpacity(0.4);
        const QImage& thumbnail = m_row.item(i).thumbnail;
        if (thumbnail.isNull())
            painter.fillRect(place, Theme::primary(this, 0.12));
        else
            painter.drawImage(QRectF(place), thumbnail);
        painter.restore();
        if (i == m_row.selected()) {
            painter.setPen(QPen(accent, 2.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(place).adjusted(-1.5, -1.5, 1.5, 1.5));
        } else {
            painter.setPen(QPen(Theme::primary(this, 0.18), 1));
            painter.drawEllipse(QRectF(place).adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
    if (m_dropAt >= 0 && m_dropAt != m_pressed) {
        // Where the dragged picture lands: a bar beside the one it goes before or after.
        const QRect target = thumbnailRect(m_dropAt);
        const int x = m_dropAt > m_pressed ? target.right() + gap / 2 : target.left() - gap / 2;
        painter.setPen(QPen(accent, 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(x, target.top() + 4, x, target.bottom() - 4);
    }
    if (const QRect remove = removeRect(); !remove.isNull() && m_row.count() > 1) {
        painter.setPen(QPen(palette().color(QPalette::Window), 1.5));
        painter.setBrush(Theme::primary(this, 0.75));
        painter.drawEllipse(QRectF(remove));
        painter.setPen(QPen(palette().color(QPalette::Window), 1.6, Qt::SolidLine, Qt::RoundCap));
        const QRectF cross = QRectF(remove).adjusted(5, 5, -5, -5);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
    }
    if (hasFocus() && m_row.selected() >= 0) {
        // The keyboard is here: the selected one shows it.
        painter.setPen(QPen(accent.darker(150), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(thumbnailRect(m_row.selected())).adjusted(-3, -3, 3, 3));
    }
}

void PictureStrip::keyPressEvent(QKeyEvent* event) {
    const int selected = m_row.selected();
    const int last = m_row.count() - 1;
    const bool moving = event->modifiers() & Qt::ControlModifier;
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    case Qt::Key_Home:
        m_row.select(0);
        return;
    case Qt::Key_End:
        m_row.select(last);
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        m_row.remove(selected);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const int to = std::clamp(selected + step, 0, last);
    if (moving)
        m_row.move(selected, to);
    else
        m_row.select(to);
}

void PictureStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (removeRect().contains(at) && m_row.count() > 1) {
        m_row.remove(m_row.selected());
        return;
    }
    for (int i = 0; i < m_row.count(); ++i)
        if (thumbnailRect(i).contains(at)) {
            m_pressed = i;
            m_pressPoint = at;
            m_row.select(i);
            return;
        }
}

void PictureStrip::mouseMoveEvent(QMouseEvent* event) {
    if (m_pressed < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    if (m_dropAt < 0 && (at - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dropAt = placeAt(at.x());
    setCursor(Qt::ClosedHandCursor);
    update();
}

void PictureStrip::mouseReleaseEvent(QMouseEvent*) {
    const int from = std::exchange(m_pressed, -1);
    const int to = std::exchange(m_dropAt, -1);
    unsetCursor();
    if (from >= 0 && to >= 0)
        m_row.move(from, to);
    update();
}

void PictureStrip::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void PictureStrip::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

bool PictureStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        for (int i = 0; i < m_row.count(); ++i)
            if (thumbnailRect(i).contains(help->pos())) {
                QToolTip::showText(help->globalPos(), m_row.item(i).label, this);
                return true;
            }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

} // namespace tovi
