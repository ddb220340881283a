#pragma once

#include "shell/caption_fields.h"

#include <QWidget>
#include <limits>

class QLabel;

namespace tovi {

class DoubleSlider;
class SegmentedControl;
class StudioModel;
class Switch;

// A slider with its title and its value ("2.5 s") above it.
class SliderRow : public QWidget {
    Q_OBJECT
public:
    SliderRow(const QString& title, QWidget* parent = nullptr);
    DoubleSlider* slider() const { return m_slider; }
    QLabel* valueLabel() const { return m_value; }
    // Range and value without emitting; the value text follows. Beyond `limit` the range is
    // marked and out of reach, and a value beyond it shows as the limit.
    void show(double minimum, double maximum, double value,
              double limit = std::numeric_limits<double>::infinity());

signals:
    void moved(double value);

private:
    DoubleSlider* m_slider;
    QLabel* m_value;
};

// The animation tool: rotation for stills, format, fragment, how it plays and frame rate. Writes
// the model's options and keeps itself in step with them and the media.
class StudioAnimationControls : public QWidget {
    Q_OBJECT
public:
    explicit StudioAnimationControls(StudioModel& model, QWidget* parent = nullptr);

    Switch* rotationSwitch() const { return m_rotation; }
    SegmentedControl* formatPicker() const { return m_format; }
    SliderRow* startRow() const { return m_start; }
    SliderRow* lengthRow() const { return m_length; }
    SliderRow* turnRow() const { return m_turn; }
    SegmentedControl* fpsPicker() const { return m_fps; }
    SegmentedControl* orderPicker() const { return m_order; }
    SegmentedControl* speedPicker() const { return m_speed; }

private:
    void sync();

    StudioModel& m_model;
    Switch* m_rotation;
    QWidget* m_turnGroup;
    SliderRow* m_turn;
    SegmentedControl* m_direction;
    SegmentedControl* m_format;
    QWidget* m_fragment;
    SliderRow* m_start;
    QWidget* m_gifGroup;
    SliderRow* m_length;
    SegmentedControl* m_order;
    SegmentedControl* m_speed;
    QWidget* m_fpsGroup;
    SegmentedControl* m_fps;
    QLabel* m_fpsNote;
};

// The caption tool: the switch above the two lines, applied to the options on every keystroke.
class StudioCaptionControls : public CaptionFields {
    Q_OBJECT
public:
    explicit StudioCaptionControls(StudioModel& model, QWidget* parent = nullptr);

private:
    void sync();

    StudioModel& m_model;
};

} // namespace tovi
