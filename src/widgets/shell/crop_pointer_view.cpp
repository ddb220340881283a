#include "crop_pointer_view.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <cmath>

namespace tovi {

CropPointerView::CropPointerView(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setAttribute(Qt::WA_AcceptTouchEvents, false);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Przesuń kadr myszą lub zmień powiększenie rolką"));
}

void CropPointerView::setInteractionEnabled(bool enabled) {
    m_enabled = enabled;
    setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
    if (enabled)
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void CropPointerView::setActions(PanAction pan, ZoomAction zoom, MagnifyAction magnify) {
    m_pan = std::move(pan);
    m_zoom = std::move(zoom);
    m_magnify = std::move(magnify);
}

bool CropPointerView::hits(QPointF point) const {
    const QPointF centre(width() / 2.0, height() / 2.0);
    const QPointF offset = point - centre;
    return std::hypot(offset.x(), offset.y()) <= std::min(width(), height()) / 2.0;
}

void CropPointerView::mousePressEvent(QMouseEvent* event) {
    // Outside the circle the press belongs to what lies beneath.
    if (!m_enabled || event->button() != Qt::LeftButton || !hits(event->position())) {
        event->ignore();
        return;
    }
    m_previous = event->position();
    setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void CropPointerView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_enabled || !m_previous) {
        event->ignore();
        return;
    }
    const QPointF current = event->position();
    if (m_pan)
        m_pan(current.x() - m_previous->x(), current.y() - m_previous->y(), width());
    m_previous = current;
}

void CropPointerView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_previous && m_enabled)
        setCursor(Qt::OpenHandCursor);
    else if (m_previous)
        unsetCursor();
    m_previous.reset();
    event->accept();
}

void CropPointerView::wheelEvent(QWheelEvent* event) {
    if (!m_enabled || !hits(event->position())) {
        event->ignore();
        return;
    }
    // A touchpad reports pixels (precise); a wheel reports notches of 120, away from the user
    // positive, so turning the wheel away zooms in.
    const bool precise = !event->pixelDelta().isNull();
    const double delta =
        precise ? double(event->pixelDelta().y()) : double(event->angleDelta().y()) / 120.0;
    if (m_zoom)
        m_zoom(delta, precise);
    event->accept();
}

bool CropPointerView::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (m_enabled && gesture->gestureType() == Qt::ZoomNativeGesture) {
            if (m_magnify)
                m_magnify(1.0 + gesture->value());
            return true;
        }
    }
    return QWidget::event(event);
}

} // namespace tovi
