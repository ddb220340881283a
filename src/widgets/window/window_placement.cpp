#include "window_placement.h"

#include "app/settings.h"
#include "shell/work_area.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace tovi::WindowPlacement {
namespace {

using WorkArea::assumedFrame;
using WorkArea::onWayland;

constexpr QSize usualSize{1180, 850};

// Remembers the window's geometry when it closes, and moves the first frame the window manager
// puts around it into the work area when it sticks out (a title bar taller than assumed).
class Keeper : public QObject {
public:
    Keeper(QWidget* window, Settings& settings)
        : QObject(window)
        , m_window(window)
        , m_settings(settings) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Close:
            m_settings.setBytes(Settings::windowGeometry, m_window->saveGeometry());
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (!m_framed)
                fitFrame();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void fitFrame() {
        const QRect frame = m_window->frameGeometry();
        const QRect client = m_window->geometry();
        // Not framed yet; on Wayland the frame is our own and its place the compositor's.
        if (frame == client || onWayland() || !m_window->isVisible())
            return;
        m_framed = true;
        const QRect area = WorkArea::of(m_window->screen());
        if (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen) ||
            area.contains(frame))
            return;
        const QSize margins = frame.size() - client.size();
        const QSize size =
            client.size().boundedTo(area.size() - margins).expandedTo(m_window->minimumSize());
        m_window->resize(size);
        const QSize framed = size + margins;
        m_window->move(std::clamp(frame.left(), area.left(), area.right() + 1 - framed.width()),
                       std::clamp(frame.top(), area.top(), area.bottom() + 1 - framed.height()));
    }

    QWidget* m_window;
    Settings& m_settings;
    bool m_framed = false;
};

} // namespace

void manage(QWidget* window, Settings& settings) {
    new Keeper(window, settings);
    if (window->restoreGeometry(settings.bytes(Settings::windowGeometry)))
        return;
    const QRect area = WorkArea::of(window->screen());
    const QSize size =
        usualSize.boundedTo(area.size() - assumedFrame).expandedTo(window->minimumSize());
    window->resize(size);
    QRect frame(QPoint(), size + assumedFrame);
    frame.moveCenter(area.center());
    if (!onWayland())
        window->move(frame.topLeft());
}

} // namespace tovi::WindowPlacement
