#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QButtonGroup>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

class QComboBox;
class QHBoxLayout;

namespace tovi {

// What a screen reader calls a control of our own that Qt would call a plain button or panel:
// one of a group to choose from (RadioButton), a switch (CheckBox), a picture (Graphic). A
// button keeps its press action and its checked state. Set it before the control is shown.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);
// A button that opens and closes something (a tool's panel): heard as a button, expanded while
// the thing is open and collapsed while it is closed (not pressed: it opens, it does not switch).
void setAccessibleExpanded(QAbstractButton* button, bool expanded);
// A combo box heard by its name and then what it shows ("Kolekcja: Jak słuchać"), where Qt on
// Linux gives what it shows alone. Set before it is shown.
void setComboName(QComboBox* box, const QString& name);
// A label whose whole text is one link, with `activate` what following it does: heard as a link
// a screen reader can press, a Tab stop, and Space or Enter on it follows it too. Without
// `activate`, a plain text again.
void setLabelLink(QLabel* label, std::function<void()> activate);
// A picture or shape that only decorates what is written beside it: left out of what a screen
// reader reads.
void setDecorative(QWidget* widget);
// What a screen reader says at once when it appears: the outcome of a send, an installation or a
// restore. Call `announce` each time it is shown with a new text.
void setAlert(QWidget* widget);
void announce(QWidget* widget);
// The buttons of `group` in `row` as one radio group: one Tab stop, on the chosen one (the first
// when none is), and the arrow keys choose among them. Call once the buttons are in the group.
void makeRadioGroup(QWidget* row, QButtonGroup* group);

// Enter and Return on a focused tool button press it as Space does (Qt leaves them to the
// dialog's default button). Installed once for the application.
void enterPressesToolButtons();

// Moves the Tab stops inside `group`, in their order, to come right after `after` (which must be
// followed by another stop: Qt cannot place a widget after the last one of a window).
void placeTabStops(QWidget* after, QWidget* group);

// Puts the keyboard's place back where the person was once work during which the controls were
// disabled is over: Qt moves the focus off a disabled control, to the next one.
class FocusReturn {
public:
    // The widget that has the focus in `window` now.
    void remember(const QWidget* window);
    // Back to it, when it can take the focus again.
    void restore();

private:
    QPointer<QWidget> m_widget;
};

// A painted on/off switch in the accent colour, operable from the keyboard (space toggles).
class Switch : public QAbstractButton {
    Q_OBJECT
public:
    explicit Switch(const QString& text = {}, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

// A row of segments of which exactly one is chosen (the desktop's segmented picker).
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList& titles, QWidget* parent = nullptr);

    int current() const;
    // Selects without emitting `chosen`.
    void setCurrent(int index);
    QAbstractButton* segment(int index) const;
    int count() const;

signals:
    // Only when the person chooses.
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QButtonGroup m_group;
    QHBoxLayout* m_row;
};

// One line of text that ends in "…" when it does not fit; the whole text is then its tooltip.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;
    // The text as it is drawn at the present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A small indeterminate progress indicator: an accent arc turning on a faint ring.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(int size = 16, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_size;
};

} // namespace tovi
