#pragma once

#include <QPointF>
#include <QWidget>
#include <functional>
#include <optional>

namespace tovi {

using PanAction = std::function<void(double dx, double dy, double width)>;
using ZoomAction = std::function<void(double delta, bool precise)>;
using MagnifyAction = std::function<void(double factor)>;

// The round display's mouse handling: a drag moves the crop, the wheel zooms, a touchpad pinch
// magnifies. Only the circle reacts; disabled, the view is transparent to the mouse, so the
// wheel scrolls whatever lies beneath.
class CropPointerView : public QWidget {
    Q_OBJECT
public:
    explicit CropPointerView(QWidget* parent = nullptr);

    bool interactionEnabled() const { return m_enabled; }
    void setInteractionEnabled(bool enabled);
    void setActions(PanAction pan, ZoomAction zoom, MagnifyAction magnify = {});

    // Whether `point` (in the view's coordinates) lies on the round display.
    bool hits(QPointF point) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool m_enabled = false;
    PanAction m_pan;
    ZoomAction m_zoom;
    MagnifyAction m_magnify;
    std::optional<QPointF> m_previous;
};

} // namespace tovi
