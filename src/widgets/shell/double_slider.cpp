#include "double_slider.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

namespace tovi {
namespace {

// The number written in a value's text ("−54", "102%", "23.4 s") and its decimal places.
struct Written {
    double number = 0;
    int places = 0;
};

Written written(const QString& text) {
    static const QRegularExpression number(QStringLiteral("[-−]?\\d+(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return {};
    QString digits = match.captured();
    digits.replace(QChar(0x2212), QLatin1Char('-'));
    return {digits.toDouble(), int(match.capturedLength(1))};
}

// The slider's value as the screen shows it, not the steps underneath nor the exact double.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(DoubleSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? slider()->valueText() : QAccessibleWidget::text(kind);
    }
    QVariant currentValue() const override { return shown(slider()->value()); }
    void setCurrentValue(const QVariant& value) override {
        slider()->moveTo(value.toDouble() / slider()->shownScale());
    }
    QVariant maximumValue() const override { return shown(slider()->maximumValue()); }
    QVariant minimumValue() const override { return shown(slider()->minimumValue()); }
    // A keyboard step (a hundredth of the range) in the digits the text shows, at least its last.
    QVariant minimumStepSize() const override {
        const double tens = std::pow(10.0, written(slider()->valueText()).places);
        const double step = (slider()->maximumValue() - slider()->minimumValue()) / 100;
        return std::max(1.0, std::round(step * slider()->shownScale() * tens)) / tens;
    }

private:
    DoubleSlider* slider() const { return static_cast<DoubleSlider*>(widget()); }
    double shown(double value) const { return written(slider()->valueText(value)).number; }
};

QAccessibleInterface* sliderFactory(const QString& className, QObject* object) {
    return className == QLatin1String("tovi::DoubleSlider")
               ? new SliderAccessible(static_cast<DoubleSlider*>(object))
               : nullptr;
}

} // namespace

DoubleSlider::DoubleSlider(double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_value(minimum) {
    static const bool accessible = [] {
        QAccessible::installFactory(sliderFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    QSlider::setRange(0, steps);
    setSingleStep(steps / 100);
    setPageStep(steps / 10);
    connect(this, &QSlider::valueChanged, this, [this](int step) {
        if (m_setting)
            return;
        m_value = valueOfStep(step);
        if (m_value > m_limit + 1e-9) // held at the limit; the step back is announced
            QSlider::setValue(stepOf(m_limit));
        else
            emit valueChangedDouble(m_value);
    });
}

double DoubleSlider::value() const {
    return m_maximum <= m_minimum ? m_minimum : m_value;
}

double DoubleSlider::valueOfStep(int step) const {
    return m_minimum + (m_maximum - m_minimum) * step / steps;
}

int DoubleSlider::stepOf(double value) const {
    const double span = m_maximum - m_minimum;
    const double fraction = span > 0 && std::isfinite(value) ? (value - m_minimum) / span : 0;
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * steps));
}

void DoubleSlider::setValue(double value) {
    // Kept as given, so that its text is the one shown beside the slider.
    const double kept = std::isfinite(value) && m_maximum > m_minimum
                            ? std::clamp(value, m_minimum, m_maximum)
                            : m_minimum;
    m_value = kept;
    m_setting = true;
    QSlider::setValue(stepOf(kept));
    m_setting = false;
}

void DoubleSlider::moveTo(double value) {
    QSlider::setValue(stepOf(value));
}

void DoubleSlider::setValueText(ValueText text, double scale) {
    m_text = std::move(text);
    m_shownScale = scale;
}

QString DoubleSlider::valueText(double value) const {
    return m_text ? m_text(value) : QString::number(value * m_shownScale, 'f', 0);
}

void DoubleSlider::setLimit(double limit) {
    m_limit = limit;
    update();
}

void DoubleSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (!(m_limit < m_maximum) || m_maximum <= m_minimum)
        return;
    // The groove beyond the limit, hatched over the slider's own drawing.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const double span = groove.width() - handle.width();
    const int x = groove.left() + handle.width() / 2 +
                  int(std::lround(span * std::clamp((m_limit - m_minimum) / (m_maximum - m_minimum),
                                                    0.0, 1.0)));
    const QRect beyond(x, groove.center().y() - 3, groove.right() - handle.width() / 2 - x, 6);
    QPainter painter(this);
    QColor mark = palette().color(QPalette::WindowText);
    mark.setAlphaF(0.35f);
    painter.fillRect(beyond, QBrush(mark, Qt::BDiagPattern));
    painter.fillRect(QRect(x - 1, groove.center().y() - 6, 2, 12), mark);
}

void DoubleSlider::setRange(double minimum, double maximum) {
    const double current = value();
    m_minimum = minimum;
    m_maximum = maximum;
    setValue(current);
}

} // namespace tovi
