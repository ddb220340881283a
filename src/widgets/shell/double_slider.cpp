#include "double_slider.h"

#include <algorithm>
#include <cmath>

namespace tovi {

DoubleSlider::DoubleSlider(double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
    , m_minimum(minimum)
    , m_maximum(maximum) {
    QSlider::setRange(0, steps);
    setSingleStep(steps / 100);
    setPageStep(steps / 10);
    connect(this, &QSlider::valueChanged, this, [this] {
        if (!m_setting)
            emit valueChangedDouble(value());
    });
}

double DoubleSlider::value() const {
    if (m_maximum <= m_minimum)
        return m_minimum;
    return m_minimum + (m_maximum - m_minimum) * QSlider::value() / steps;
}

void DoubleSlider::setValue(double value) {
    const double span = m_maximum - m_minimum;
    const double fraction = span > 0 && std::isfinite(value) ? (value - m_minimum) / span : 0;
    m_setting = true;
    QSlider::setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * steps)));
    m_setting = false;
}

void DoubleSlider::setRange(double minimum, double maximum) {
    const double current = value();
    m_minimum = minimum;
    m_maximum = maximum;
    setValue(current);
}

} // namespace tovi
