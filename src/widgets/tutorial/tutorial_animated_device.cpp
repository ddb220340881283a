#include "tutorial_animated_device.h"

#include "app/background_task.h"
#include "app/resource_bundle.h"
#include "device/pack_error.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/theme.h"

#include <QLabel>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <cmath>

namespace tovi {

TutorialAnimatedDevice::TutorialAnimatedDevice(QString resource, const QString& color,
                                               QWidget* parent)
    : QWidget(parent)
    , m_resource(std::move(resource))
    , m_reduceMotion(Theme::reduceMotion())
    , m_pages(new QStackedLayout(this))
    , m_waiting(new QWidget)
    , m_failureLabel(new QLabel)
    , m_preview(new DevicePreview) {
    setFixedSize(pictureSize());

    auto* waiting = new QVBoxLayout(m_waiting);
    waiting->addWidget(new Spinner(20), 0, Qt::AlignCenter);
    m_pages->addWidget(m_waiting);

    m_failureLabel->setObjectName(QStringLiteral("failure"));
    m_failureLabel->setFont(Typography::font(Typography::Style::caption));
    m_failureLabel->setForegroundRole(QPalette::PlaceholderText);
    m_failureLabel->setAlignment(Qt::AlignCenter);
    m_failureLabel->setWordWrap(true);
    m_failureLabel->setContentsMargins(12, 0, 12, 0);
    m_pages->addWidget(m_failureLabel);

    m_preview->setInteractive(false);
    m_preview->setColor(color);
    m_pages->addWidget(m_preview);

    m_ticks.setInterval(tickMs);
    m_ticks.setTimerType(Qt::PreciseTimer);
    connect(&m_ticks, &QTimer::timeout, this, [this] {
        if (m_started.isValid())
            showTime(double(m_started.nsecsElapsed()) / 1e9);
    });
}

TutorialAnimatedDevice::~TutorialAnimatedDevice() = default;

QSize TutorialAnimatedDevice::pictureSize() {
    // Rounded down, so the picture never grows past its height.
    return DevicePreview::sizeForArtWidth(
        int(std::floor(pictureHeight * DevicePreview::artWidth / DevicePreview::artHeight)));
}

QString TutorialAnimatedDevice::color() const {
    return m_preview->color();
}

void TutorialAnimatedDevice::setColor(const QString& color) {
    m_preview->setColor(color);
}

void TutorialAnimatedDevice::setReduceMotion(bool reduce) {
    m_reduceMotion = reduce;
    if (reduce)
        showTime(0);
    updateTicks();
}

void TutorialAnimatedDevice::load() {
    m_requested = true;
    const LatestRequest::Ticket loading = m_loads.start();
    m_animation.reset();
    m_failure.reset();
    m_started.invalidate();
    m_frame = -1;
    m_preview->setImage({});
    m_pages->setCurrentWidget(m_waiting);
    updateTicks();

    const std::optional<QString> path =
        ResourceBundle::main().url(m_resource, QStringLiteral("gif"));
    if (!path) {
        settle(std::nullopt, PackError(PackError::missingResource).message());
        return;
    }
    runInBackground(
        this, [path = *path] { return TutorialAnimation::load(path); },
        [this, loading](Outcome<TutorialAnimation>& outcome) {
            // A newer load has taken over; this result is no longer asked for.
            if (!loading.current() || outcome.cancelled)
                return;
            if (outcome.ok())
                settle(std::move(*outcome.value), std::nullopt);
            else
                settle(std::nullopt, outcome.error);
        });
}

void TutorialAnimatedDevice::settle(std::optional<TutorialAnimation> animation,
                                    std::optional<QString> failure) {
    m_animation = std::move(animation);
    m_failure = std::move(failure);
    if (m_animation) {
        m_started.start();
        m_pages->setCurrentWidget(m_preview);
        showTime(0);
    } else {
        m_failureLabel->setText(m_failure.value_or(QString()));
        m_pages->setCurrentWidget(m_failureLabel);
    }
    updateTicks();
    emit loaded();
}

void TutorialAnimatedDevice::showTime(double seconds) {
    if (!m_animation)
        return;
    const int index = m_animation->frameIndex(m_reduceMotion ? 0.0 : seconds);
    if (index == m_frame)
        return;
    m_frame = index;
    m_preview->setImage(m_animation->frames[size_t(index)]);
}

void TutorialAnimatedDevice::updateTicks() {
    const bool moves = m_animation && m_animation->frames.size() > 1 && !m_reduceMotion;
    if (moves && isVisible())
        m_ticks.start();
    else
        m_ticks.stop();
}

void TutorialAnimatedDevice::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_requested)
        load();
    updateTicks();
}

void TutorialAnimatedDevice::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_ticks.stop();
}

} // namespace tovi
