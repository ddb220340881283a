#pragma once

#include "app/latest_request.h"
#include "tutorial/tutorial_animation.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <optional>

class QLabel;
class QStackedLayout;

namespace tovi {

class DevicePreview;

// A picture of the Tovi playing one of the bundle's tutorial GIFs in a loop with the file's own
// frame timing. The GIF is decoded in the background the first time the widget is shown; until
// then a spinner stands in, and a missing file shows the missing-resource message instead.
class TutorialAnimatedDevice : public QWidget {
    Q_OBJECT
public:
    // The device picture's height, and the longest a tick waits (1/30 s).
    static constexpr int pictureHeight = 230;
    static constexpr int tickMs = 34;

    // The widget size that shows the device picture `pictureHeight` high with its shadow.
    static QSize pictureSize();

    // `resource`: the GIF's name in the bundle, without extension. `color`: the case colour.
    TutorialAnimatedDevice(QString resource, const QString& color, QWidget* parent = nullptr);
    ~TutorialAnimatedDevice() override;

    const QString& resource() const { return m_resource; }
    QString color() const;
    void setColor(const QString& color);
    const std::optional<TutorialAnimation>& animation() const { return m_animation; }
    const std::optional<QString>& failure() const { return m_failure; }
    // From the desktop by default; with less motion the first frame stays.
    bool reduceMotion() const { return m_reduceMotion; }
    void setReduceMotion(bool reduce);

    // Looks the GIF up and decodes it; a later call supersedes a decode still running.
    void load();
    // Shows the frame that plays `seconds` after playback began; the ticks call it with the time
    // since `started`.
    void showTime(double seconds);
    int currentFrame() const { return m_frame; }
    // Whether ticks are running: only while shown, with more than one frame and full motion.
    bool playing() const { return m_ticks.isActive(); }
    DevicePreview* preview() const { return m_preview; }

signals:
    // The decode has settled into an animation or a failure.
    void loaded();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void settle(std::optional<TutorialAnimation> animation, std::optional<QString> failure);
    void updateTicks();

    QString m_resource;
    std::optional<TutorialAnimation> m_animation;
    std::optional<QString> m_failure;
    QElapsedTimer m_started;
    bool m_reduceMotion;
    bool m_requested = false;
    LatestRequest m_loads;
    int m_frame = -1;
    QTimer m_ticks;
    QStackedLayout* m_pages;
    QWidget* m_waiting;
    QLabel* m_failureLabel;
    DevicePreview* m_preview;
};

} // namespace tovi
