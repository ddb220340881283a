#include "device_preview.h"

#include "app/resource_bundle.h"
#include "shell/controls.h"
#include "shell/theme.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <cmath>
#include <numbers>

namespace tovi {
namespace {

// A soft shadow of `shape`'s alpha: black at `opacity`, blurred by about `radius` pixels.
QImage shadowOf(const QImage& shape, int radius, double opacity) {
    QImage alpha = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = alpha.width();
    const int h = alpha.height();
    std::vector<float> a(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(alpha.constScanLine(y));
        for (int x = 0; x < w; ++x)
            a[size_t(y) * size_t(w) + size_t(x)] = float(qAlpha(line[x])) / 255.0f;
    }
    // Three box passes each way come close to a Gaussian.
    const int box = std::max(1, radius / 2);
    std::vector<float> tmp(a.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            float sum = 0;
            const size_t row = size_t(y) * size_t(w);
            for (int x = -box; x < w + box; ++x) {
                if (x + box < w)
                    sum += a[row + size_t(std::clamp(x + box, 0, w - 1))] * (x + box >= 0);
                if (x >= 0 && x < w)
                    tmp[row + size_t(x)] = sum / float(2 * box + 1);
                if (x - box >= 0 && x - box < w)
                    sum -= a[row + size_t(x - box)];
            }
        }
        for (int x = 0; x < w; ++x) {
            float sum = 0;
            for (int y = -box; y < h + box; ++y) {
                if (y + box < h && y + box >= 0)
                    sum += tmp[size_t(y + box) * size_t(w) + size_t(x)];
                if (y >= 0 && y < h)
                    a[size_t(y) * size_t(w) + size_t(x)] = sum / float(2 * box + 1);
                if (y - box >= 0 && y - box < h)
                    sum -= tmp[size_t(y - box) * size_t(w) + size_t(x)];
            }
        }
    }
    QImage shadow(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] =
                qRgba(0, 0, 0, qRound(255.0 * opacity * a[size_t(y) * size_t(w) + size_t(x)]));
    }
    return shadow;
}

constexpr double shadowRadius = 12;
constexpr double shadowOffset = 10;

// Where the artwork draws the ▶II key on the wheel, in its own units.
constexpr QRectF playKeyArt(1567 - 80, 1820 - 55, 160, 110);

// The ▶II key over the artwork's own: it draws only a hover and focus ring, and a ring in the
// accent colour while the playback is paused.
class PlayKey : public QAbstractButton {
public:
    explicit PlayKey(QWidget* parent)
        : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
    }
    void setPaused(bool paused) {
        m_paused = paused;
        const QString name =
            paused ? QStringLiteral("Odtwórz podgląd") : QStringLiteral("Wstrzymaj podgląd");
        setAccessibleName(name);
        setToolTip(name + QStringLiteral(" (Spacja)"));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!m_paused && !underMouse() && !hasFocus())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF ring = QRectF(rect()).adjusted(2, 2, -2, -2);
        if (underMouse()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 60));
            painter.drawEllipse(ring);
        }
        if (m_paused || hasFocus()) {
            painter.setPen(QPen(StudioStyle::accent(), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(ring);
        }
    }
    bool hitButton(const QPoint& point) const override {
        const QPointF offset = QPointF(point) - QRectF(rect()).center();
        const double rx = width() / 2.0, ry = height() / 2.0;
        return rx > 0 && ry > 0 &&
               offset.x() * offset.x() / (rx * rx) + offset.y() * offset.y() / (ry * ry) <= 1;
    }

private:
    bool m_paused = false;
};

} // namespace

DevicePreview::DevicePreview(QWidget* parent)
    : QWidget(parent)
    , m_pointer(new CropPointerView(this))
    , m_play(new PlayKey(this)) {
    m_play->hide();
    connect(m_play, &QAbstractButton::clicked, this, &DevicePreview::playPause);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    m_timer.setTimerType(Qt::PreciseTimer);
    setAccessibleRole(this, QAccessible::Graphic);
    setColor(m_color);
}

DevicePreview::~DevicePreview() = default;

QRectF DevicePreview::displayFrame(double width) {
    const double height = width * artHeight / artWidth;
    return {width * 0.09, height * 0.085, width * 0.512, height * 0.472};
}

int DevicePreview::heightForWidth(int width) const {
    return sizeForArtWidth(width - shadowMargins.left() - shadowMargins.right()).height();
}

QSize DevicePreview::sizeHint() const {
    return {360, heightForWidth(360)};
}

QSize DevicePreview::sizeForArtWidth(int artWidth) {
    return {artWidth + shadowMargins.left() + shadowMargins.right(),
            int(std::ceil(artWidth * artHeight / DevicePreview::artWidth)) + shadowMargins.top() +
                shadowMargins.bottom()};
}

QRectF DevicePreview::artRect() const {
    // Fitted to the proportion inside the shadow's margins, top-left aligned.
    const QRectF inner = QRectF(rect()).marginsRemoved(shadowMargins.toMarginsF());
    const double w = std::max(0.0, std::min(inner.width(), inner.height() * artWidth / artHeight));
    return {inner.topLeft(), QSizeF(w, w * artHeight / artWidth)};
}

void DevicePreview::setImage(const QImage& image) {
    m_image = image;
    const QRectF art = artRect();
    update(displayFrame(art.width()).translated(art.topLeft()).toAlignedRect());
}

void DevicePreview::setPlayback(bool available, bool paused) {
    if (m_playback && *m_playback == std::pair(available, paused))
        return; // unchanged: no news for a screen reader at every frame
    m_playback = std::pair(available, paused);
    static_cast<PlayKey*>(m_play)->setPaused(paused);
    m_play->setVisible(available);
}

void DevicePreview::setColor(const QString& color) {
    m_color = color;
    const QString file =
        ResourceBundle::main().folder() + QStringLiteral("/tovi-") + color + QStringLiteral(".svg");
    m_renderer = std::make_unique<QSvgRenderer>(file);
    if (!m_renderer->isValid())
        m_renderer.reset();
    m_bodySize = {};
    updateAccessibility();
    update();
}

void DevicePreview::setInteractive(bool interactive) {
    m_pointer->setInteractionEnabled(interactive);
}

void DevicePreview::setActions(PanAction pan, ZoomAction zoom, MagnifyAction magnify) {
    m_pointer->setActions(std::move(pan), std::move(zoom), std::move(magnify));
}

void DevicePreview::setAnimation(const PreviewTimeline::Settings& settings) {
    m_animation = settings;
    updateTimer();
    update();
}

void DevicePreview::updateTimer() {
    if (PreviewTimeline::animates(m_animation) && isVisible()) {
        m_timer.setInterval(PreviewTimeline::intervalMs(m_animation.fps));
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
    }
}

void DevicePreview::updateAccessibility() {
    setAccessibleName(QStringLiteral("Podgląd ekranu Tovi, obudowa ") +
                      (m_color == QStringLiteral("black") ? QStringLiteral("czarna")
                                                          : QStringLiteral("srebrna")));
}

void DevicePreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateTimer();
    emit visibleChanged(true);
}

void DevicePreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
    emit visibleChanged(false);
}

void DevicePreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QRectF art = artRect();
    m_pointer->setGeometry(displayFrame(art.width()).translated(art.topLeft()).toRect());
    const double unit = art.width() / artWidth;
    m_play->setGeometry(
        QRectF(art.topLeft() + playKeyArt.topLeft() * unit, playKeyArt.size() * unit).toRect());
}

const QPixmap& DevicePreview::body(QSize size) {
    if (size == m_bodySize)
        return m_body;
    m_bodySize = size;
    const qreal ratio = devicePixelRatioF();
    const int margin = int(shadowRadius * 2 + shadowOffset);
    QImage art((size + QSize(2 * margin, 2 * margin)) * ratio, QImage::Format_ARGB32_Premultiplied);
    art.fill(Qt::transparent);
    if (m_renderer) {
        QPainter painter(&art);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_renderer->render(&painter, QRectF(QPointF(margin, margin) * ratio, QSizeF(size) * ratio));
    } else {
        // No picture for this colour: only the display's round shape casts a shadow.
        QPainter painter(&art);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF frame = displayFrame(size.width()).translated(margin, margin);
        const double side = std::min(frame.width(), frame.height());
        painter.setBrush(Qt::black);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRectF(frame.center() - QPointF(side, side) / 2, QSizeF(side, side)));
    }
    QImage composed(art.size(), QImage::Format_ARGB32_Premultiplied);
    composed.fill(Qt::transparent);
    {
        QPainter painter(&composed);
        painter.drawImage(QPointF(0, shadowOffset * ratio),
                          shadowOf(art, int(shadowRadius * ratio), 0.12));
        if (m_renderer)
            painter.drawImage(0, 0, art);
    }
    m_body = QPixmap::fromImage(composed);
    m_body.setDevicePixelRatio(ratio);
    return m_body;
}

void DevicePreview::paintDisplay(QPainter& painter, const QRectF& frame) {
    const double side = std::min(frame.width(), frame.height());
    const QRectF circle(frame.center() - QPointF(side, side) / 2, QSizeF(side, side));
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.save();
    painter.setClipPath(clip);
    if (m_image.isNull()) {
        QLinearGradient gradient(frame.topLeft(), frame.bottomRight());
        gradient.setColorAt(0, QColor::fromRgbF(0.10f, 0.23f, 0.26f));
        gradient.setColorAt(0.5, QColor::fromRgbF(0.55f, 0.67f, 0.55f));
        gradient.setColorAt(1, StudioStyle::accent());
        painter.fillRect(frame, gradient);
        QFont font = painter.font();
        font.setPixelSize(std::max(1, qRound(artRect().width() * 0.045)));
        font.setWeight(QFont::Medium);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(frame, Qt::AlignCenter, QStringLiteral("YOUR\nSMALL\nSCREEN"));
    } else {
        painter.fillRect(frame, Qt::black);
        const PreviewTimeline::Frame now = PreviewTimeline::at(
            PreviewTimeline::referenceSeconds(QDateTime::currentDateTimeUtc()), m_animation);
        painter.setOpacity(now.opacity);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(circle.center());
        painter.rotate(now.angle * 180.0 / std::numbers::pi);
        painter.translate(-circle.center());
        // Scaled to fill the circle.
        const QSizeF size =
            QSizeF(m_image.size()).scaled(circle.size(), Qt::KeepAspectRatioByExpanding);
        painter.drawImage(QRectF(circle.center() - QPointF(size.width(), size.height()) / 2, size),
                          m_image);
    }
    painter.restore();
}

void DevicePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF art = artRect();
    const int margin = int(shadowRadius * 2 + shadowOffset);
    painter.drawPixmap(art.topLeft() - QPointF(margin, margin), body(art.size().toSize()));
    paintDisplay(painter, displayFrame(art.width()).translated(art.topLeft()));
}

} // namespace tovi
