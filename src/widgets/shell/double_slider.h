#pragma once

#include <QSlider>

namespace tovi {

// A horizontal slider over a range of doubles, in fine integer steps underneath.
class DoubleSlider : public QSlider {
    Q_OBJECT
public:
    explicit DoubleSlider(double minimum, double maximum, QWidget* parent = nullptr);

    double value() const;
    // Sets without emitting valueChangedDouble.
    void setValue(double value);
    void setRange(double minimum, double maximum);
    double minimumValue() const { return m_minimum; }
    double maximumValue() const { return m_maximum; }

signals:
    // Only for changes the user makes.
    void valueChangedDouble(double value);

private:
    static constexpr int steps = 10000;
    double m_minimum;
    double m_maximum;
    bool m_setting = false;
};

} // namespace tovi
