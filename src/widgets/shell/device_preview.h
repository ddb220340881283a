#pragma once

#include "shell/crop_pointer_view.h"
#include "shell/preview_timeline.h"

#include <QImage>
#include <QMargins>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <utility>

class QAbstractButton;
class QSvgRenderer;

namespace tovi {

// The picture of the Tovi with the user's graphic on its round display, in the chosen case
// colour, previewing the GIF's turn or reveal, with the crop's mouse handling on the display.
// It only draws the bitmap it is handed; it never decodes media.
class DevicePreview : public QWidget {
    Q_OBJECT
public:
    // The device artwork's proportions.
    static constexpr double artWidth = 1946;
    static constexpr double artHeight = 2104;

    // Room around the device picture for its shadow (black 0.12, radius 12, 10 down).
    static constexpr QMargins shadowMargins{12, 2, 12, 22};

    explicit DevicePreview(QWidget* parent = nullptr);
    // The widget size that shows the device picture `artWidth` wide.
    static QSize sizeForArtWidth(int artWidth);
    ~DevicePreview() override;

    // Null: nothing chosen yet (the placeholder shows).
    void setImage(const QImage& image);
    // "silver" or "black"; any other text names no picture (the body is then left out).
    void setColor(const QString& color);
    void setInteractive(bool interactive);
    void setActions(PanAction pan, ZoomAction zoom, MagnifyAction magnify = {});
    void setAnimation(const PreviewTimeline::Settings& settings);
    // The ▶II key on the device picture, shown while something can play: a click on it, or
    // Space while it has the focus, asks for playPause(). Its name says which it does.
    // It is the picture's one keyboard stop: the display itself takes only the mouse.
    void setPlayback(bool available, bool paused);

    const QImage& image() const { return m_image; }
    const QString& color() const { return m_color; }
    const PreviewTimeline::Settings& animation() const { return m_animation; }
    bool ticking() const { return m_timer.isActive(); }
    CropPointerView* pointerView() const { return m_pointer; }
    QAbstractButton* playButton() const { return m_play; }
    // The device picture inside the widget.
    QRectF artRect() const;
    // The display frame inside a device picture `width` wide (0.512 W × 0.472 H, 0.09 W right and
    // 0.085 H down).
    static QRectF displayFrame(double width);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void playPause();
    // Shown or hidden, with its window too (minimised).
    void visibleChanged(bool visible);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateTimer();
    void updateAccessibility();
    void paintDisplay(QPainter& painter, const QRectF& frame);
    const QPixmap& body(QSize size);

    QImage m_image;
    QString m_color = QStringLiteral("silver");
    PreviewTimeline::Settings m_animation;
    CropPointerView* m_pointer;
    QAbstractButton* m_play;
    std::optional<std::pair<bool, bool>> m_playback; // available, paused
    QTimer m_timer;
    std::unique_ptr<QSvgRenderer> m_renderer;
    QPixmap m_body;   // the body (with its shadow) at the current size
    QSize m_bodySize; // the size m_body was drawn for
};

} // namespace tovi
