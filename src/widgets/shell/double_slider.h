#pragma once

#include <QSlider>
#include <functional>
#include <limits>

namespace tovi {

// A horizontal slider over a range of doubles, in fine integer steps underneath. A screen reader
// hears the value as the screen shows it (see setValueText) and can change it.
class DoubleSlider : public QSlider {
    Q_OBJECT
public:
    // How a value is written beside the slider: "54", "102%", "23.4 s".
    using ValueText = std::function<QString(double)>;

    explicit DoubleSlider(double minimum, double maximum, QWidget* parent = nullptr);

    // As set, or as the person moved it.
    double value() const;
    // Sets without emitting valueChangedDouble.
    void setValue(double value);
    void setRange(double minimum, double maximum);
    double minimumValue() const { return m_minimum; }
    double maximumValue() const { return m_maximum; }
    // The text shown for a value, whose number is value × `scale` (100 for a percentage) as
    // written; a screen reader hears that number as the value, and the text as its text.
    void setValueText(ValueText text, double scale = 1);
    QString valueText() const { return valueText(value()); }
    QString valueText(double value) const;
    double shownScale() const { return m_shownScale; }
    // As a person's move: valueChangedDouble follows.
    void moveTo(double value);
    // The most a person may choose, on the same scale: the part beyond it is marked and a move
    // into it stops at the limit. At or above maximumValue(), none.
    void setLimit(double limit);
    double limit() const { return m_limit; }

signals:
    // Only for changes the user makes.
    void valueChangedDouble(double value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int stepOf(double value) const;
    double valueOfStep(int step) const;

    static constexpr int steps = 10000;
    double m_minimum;
    double m_maximum;
    double m_value;
    ValueText m_text;
    double m_shownScale = 1;
    double m_limit = std::numeric_limits<double>::infinity();
    bool m_setting = false;
};

} // namespace tovi
