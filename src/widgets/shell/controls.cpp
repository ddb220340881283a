#include "controls.h"

#include "shell/sheet_parts.h"
#include "shell/theme.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace tovi {

// --- Accessible roles ---------------------------------------------------------------------------

namespace {

constexpr char roleProperty[] = "toviAccessibleRole";
constexpr char expandedProperty[] = "toviExpanded";
constexpr char decorativeProperty[] = "toviDecorative";

// What a label's link does, from the keyboard and from a screen reader's press.
class LabelLink : public QObject {
public:
    explicit LabelLink(QLabel* label)
        : QObject(label) {
        label->installEventFilter(this);
    }
    std::function<void()> activate;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const bool follow = event->type() == QEvent::KeyPress && activate &&
                            follows(*static_cast<QKeyEvent*>(event));
        if (follow)
            activate();
        return follow;
    }

private:
    static bool follows(const QKeyEvent& key) {
        return !(key.modifiers() & ~Qt::KeypadModifier) &&
               (key.key() == Qt::Key_Space || key.key() == Qt::Key_Return ||
                key.key() == Qt::Key_Enter);
    }
};

LabelLink* labelLink(const QObject* label) {
    for (QObject* child : label->children())
        if (auto* link = dynamic_cast<LabelLink*>(child))
            return link;
    return nullptr;
}

bool decorative(const QObject* object) {
    return object->property(decorativeProperty).toBool();
}

class RoleAccessible : public QAccessibleWidget {
public:
    explicit RoleAccessible(QWidget* widget)
        : QAccessibleWidget(widget) {}

    // Read each time: a container is made before it has a parent, so before it is a window or not.
    QAccessible::Role role() const override {
        if (const QVariant role = widget()->property(roleProperty); role.isValid())
            return QAccessible::Role(role.toInt());
        return widget()->isWindow() ? QAccessible::Window : QAccessible::Client;
    }

    // Decorations are not among the children.
    int childCount() const override {
        return hidesDecorations() ? int(children().size()) : QAccessibleWidget::childCount();
    }
    QAccessibleInterface* child(int index) const override {
        if (!hidesDecorations())
            return QAccessibleWidget::child(index);
        const QList<QWidget*> shown = children();
        return index >= 0 && index < shown.size()
                   ? QAccessible::queryAccessibleInterface(shown[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!hidesDecorations())
            return QAccessibleWidget::indexOfChild(child);
        return child ? int(children().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

    QString text(QAccessible::Text kind) const override {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty() && button())
            text = button()->text().remove(QLatin1Char('&'));
        return text;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (const QAbstractButton* b = button(); b && b->isCheckable()) {
            state.checkable = true;
            state.checked = b->isChecked();
        }
        if (const QVariant expanded = widget()->property(expandedProperty); expanded.isValid()) {
            state.expandable = true;
            state.expanded = expanded.toBool();
            state.collapsed = !expanded.toBool();
        }
        return state;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (button() || link())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (button())
            button()->click();
        else if (LabelLink* link = this->link()) // after the reply: it may open a dialog
            QTimer::singleShot(0, link, [link] {
                if (link->activate)
                    link->activate();
            });
    }

private:
    QAbstractButton* button() const { return qobject_cast<QAbstractButton*>(widget()); }
    LabelLink* link() const {
        LabelLink* found = labelLink(widget());
        return found && found->activate ? found : nullptr;
    }
    bool hidesDecorations() const {
        const QObjectList& all = widget()->children();
        return std::any_of(all.begin(), all.end(), decorative);
    }
    QList<QWidget*> children() const {
        QList<QWidget*> shown;
        for (QObject* child : widget()->children())
            if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow() && !decorative(w))
                shown.append(w);
        return shown;
    }
};

// Qt on Linux names a combo box by what it shows alone, and tells a screen reader of a new choice
// as a change of that name: ours say their own name first. The list is its one child, as in Qt's.
class ComboAccessible : public QAccessibleWidget {
public:
    explicit ComboAccessible(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        const QString shown = box()->currentText();
        if (kind == QAccessible::Value)
            return shown;
        const QString text = QAccessibleWidget::text(kind);
        return kind == QAccessible::Name && !shown.isEmpty() ? text + QStringLiteral(": ") + shown
                                                             : text;
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
        state.collapsed = !state.expanded;
        return state;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name != showMenuAction() && name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

// Our roles, and plain containers that hold decorations.
QAccessibleInterface* roleFactory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (auto* box = qobject_cast<QComboBox*>(widget);
        box && widget->property(roleProperty).isValid())
        return new ComboAccessible(box);
    const bool plain = className == QLatin1String("QWidget");
    return plain || widget->property(roleProperty).isValid() ? new RoleAccessible(widget) : nullptr;
}

void installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(roleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

void setAccessibleExpanded(QAbstractButton* button, bool expanded) {
    if (!button->property(roleProperty).isValid())
        setAccessibleRole(button, QAccessible::Button);
    if (button->property(expandedProperty) == QVariant(expanded))
        return;
    button->setProperty(expandedProperty, expanded);
    QAccessible::State changed;
    changed.expanded = changed.collapsed = true;
    QAccessibleStateChangeEvent event(button, changed);
    QAccessible::updateAccessibility(&event);
}

void setComboName(QComboBox* box, const QString& name) {
    box->setAccessibleName(name);
    setAccessibleRole(box, QAccessible::ComboBox);
}

void setLabelLink(QLabel* label, std::function<void()> activate) {
    LabelLink* link = labelLink(label);
    if (!link)
        link = new LabelLink(label);
    const bool linked = bool(activate);
    link->activate = std::move(activate);
    setAccessibleRole(label, linked ? QAccessible::Link : QAccessible::StaticText);
    label->setFocusPolicy(linked ? Qt::StrongFocus : Qt::NoFocus);
}

void setDecorative(QWidget* widget) {
    installFactory();
    widget->setProperty(decorativeProperty, true);
    widget->setFocusPolicy(Qt::NoFocus);
}

namespace {

class EnterPresses : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QToolButton*>(watched);
        if (!button || !button->hasFocus() || key->modifiers() & ~Qt::KeypadModifier ||
            (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter))
            return false;
        QKeyEvent space(event->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                        key->isAutoRepeat());
        QApplication::sendEvent(button, &space);
        return true;
    }
};

} // namespace

void enterPressesToolButtons() {
    static EnterPresses* filter = [] {
        auto* created = new EnterPresses;
        created->setParent(qApp);
        qApp->installEventFilter(created);
        return created;
    }();
    (void)filter;
}

void setAlert(QWidget* widget) {
    setAccessibleRole(widget, QAccessible::AlertMessage);
}

void announce(QWidget* widget) {
    QAccessibleEvent event(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

namespace {

// Tab reaches the chosen button only; the arrow keys choose the next or previous one.
class RadioKeys : public QObject {
public:
    RadioKeys(QWidget* row, QButtonGroup* group)
        : QObject(row)
        , m_group(group) {
        for (QAbstractButton* button : group->buttons()) {
            setAccessibleRole(button, QAccessible::RadioButton);
            button->installEventFilter(this);
        }
        connect(group, &QButtonGroup::buttonToggled, this, &RadioKeys::placeStop);
        placeStop();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = key == Qt::Key_Right || key == Qt::Key_Down ? 1
                         : key == Qt::Key_Left || key == Qt::Key_Up  ? -1
                                                                     : 0;
        const QList<QAbstractButton*> buttons = m_group->buttons();
        const qsizetype from = buttons.indexOf(static_cast<QAbstractButton*>(watched));
        if (step == 0 || from < 0)
            return false;
        for (qsizetype i = from + step; i >= 0 && i < buttons.size(); i += step) {
            if (buttons[i]->isEnabled() && buttons[i]->isVisibleTo(buttons[i]->parentWidget())) {
                buttons[i]->click();
                buttons[i]->setFocus(Qt::TabFocusReason);
                break;
            }
        }
        return true;
    }

private:
    void placeStop() {
        const QList<QAbstractButton*> buttons = m_group->buttons();
        QAbstractButton* stop = m_group->checkedButton();
        if (!stop && !buttons.isEmpty())
            stop = buttons.front();
        for (QAbstractButton* button : buttons)
            button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }

    QButtonGroup* m_group;
};

} // namespace

void makeRadioGroup(QWidget* row, QButtonGroup* group) {
    setAccessibleRole(row, QAccessible::Grouping);
    new RadioKeys(row, group);
}

void setAccessibleRole(QWidget* widget, QAccessible::Role role) {
    installFactory();
    widget->setProperty(roleProperty, int(role));
    // Setting a name first has already made (and cached) Qt's own interface.
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (face && !dynamic_cast<RoleAccessible*>(face))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
}

void placeTabStops(QWidget* after, QWidget* group) {
    QList<QWidget*> stops;
    for (QWidget* w = group->nextInFocusChain(); w != group; w = w->nextInFocusChain()) {
        if (!group->isAncestorOf(w))
            break;
        if (w->focusPolicy() != Qt::NoFocus)
            stops << w;
    }
    for (QWidget* stop : stops) {
        QWidget::setTabOrder(after, stop);
        after = stop;
    }
}

// --- FocusReturn --------------------------------------------------------------------------------

void FocusReturn::remember(const QWidget* window) {
    m_widget = window ? window->window()->focusWidget() : nullptr;
}

void FocusReturn::restore() {
    if (m_widget && m_widget->isVisible() && m_widget->isEnabled() &&
        m_widget->focusPolicy() != Qt::NoFocus)
        m_widget->setFocus(Qt::OtherFocusReason);
    m_widget = nullptr;
}

// --- Switch -------------------------------------------------------------------------------------

namespace {
constexpr int trackWidth = 34;
constexpr int trackHeight = 20;
} // namespace

Switch::Switch(const QString& text, QWidget* parent)
    : QAbstractButton(parent) {
    setText(text);
    setAccessibleName(text);
    setAccessibleRole(this, QAccessible::CheckBox);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize Switch::sizeHint() const {
    const int textWidth = text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(text()) + 12;
    return {textWidth + trackWidth + 4, std::max(trackHeight + 6, fontMetrics().height() + 6)};
}

bool Switch::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void Switch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool on = isChecked();
    const double opacity = isEnabled() ? 1.0 : 0.4;
    painter.setOpacity(opacity);
    // The label on the leading side, the switch at the trailing edge, as desktop settings do.
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(0, 0, -(trackWidth + 12), 0), Qt::AlignLeft | Qt::AlignVCenter,
                     text());
    const QRectF track(width() - trackWidth - 2, (height() - trackHeight) / 2.0, trackWidth,
                       trackHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(on ? StudioStyle::accent() : Theme::primary(this, 0.18));
    painter.drawRoundedRect(track, trackHeight / 2.0, trackHeight / 2.0);
    const double knob = trackHeight - 4;
    const double x = on ? track.right() - knob - 2 : track.left() + 2;
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        QColor ring = StudioStyle::accent();
        ring.setAlphaF(0.5f);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(track.adjusted(-2, -2, 2, 2), trackHeight / 2.0 + 2,
                                trackHeight / 2.0 + 2);
    }
}

// --- SegmentedControl ---------------------------------------------------------------------------

SegmentedControl::SegmentedControl(const QStringList& titles, QWidget* parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this)) {
    m_row->setContentsMargins(2, 2, 2, 2);
    m_row->setSpacing(2);
    m_group.setExclusive(true);
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QToolButton;
        button->setText(titles[i]);
        button->setAccessibleName(titles[i]);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setMinimumHeight(24);
        button->setCursor(Qt::PointingHandCursor);
        m_group.addButton(button, i);
        m_row->addWidget(button);
    }
    if (!titles.isEmpty())
        m_group.button(0)->setChecked(true);
    makeRadioGroup(this, &m_group);
    connect(&m_group, &QButtonGroup::idClicked, this, &SegmentedControl::chosen);
    connect(&m_group, &QButtonGroup::idToggled, this, [this] { update(); });
    // The chosen segment is a raised white (or lighter) tile; the others plain text.
    Theme::followWithStyleSheet(this, [] {
        const QPalette palette = Theme::palette(Theme::isDark());
        return QStringLiteral("QToolButton { border: none; border-radius: 6px; padding: 3px 12px;"
                              " background: transparent; color: %1; }"
                              "QToolButton:checked { background: %2; font-weight: 600; }"
                              "QToolButton:focus { border: 1px dotted %4; }"
                              "QToolButton:disabled { color: %3; }")
            .arg(Theme::css(palette.color(QPalette::ButtonText)),
                 Theme::css(palette.color(QPalette::Base)),
                 Theme::css(palette.color(QPalette::PlaceholderText)),
                 Theme::css(StudioStyle::accent()));
    });
}

int SegmentedControl::current() const {
    return m_group.checkedId();
}

void SegmentedControl::setCurrent(int index) {
    if (QAbstractButton* button = m_group.button(index))
        button->setChecked(true);
}

QAbstractButton* SegmentedControl::segment(int index) const {
    return m_group.button(index);
}

int SegmentedControl::count() const {
    return int(m_group.buttons().size());
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    SheetParts::Band::paint(this, Theme::primary(this, 0.07), 8);
}

// --- ElidedLabel --------------------------------------------------------------------------------

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    const QRect area = contentsRect();
    const QString shown = shownText();
    setToolTip(shown == text() ? QString() : text());
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.drawText(area, int(alignment()) | Qt::TextSingleLine, shown);
}

// --- Spinner ------------------------------------------------------------------------------------

Spinner::Spinner(int size, QWidget* parent)
    : QWidget(parent)
    , m_size(size) {
    setObjectName(QStringLiteral("spinner"));
    setFixedSize(size, size);
    setDecorative(this); // the text beside it says what is going on
    m_timer.setInterval(30);
    connect(&m_timer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

QSize Spinner::sizeHint() const {
    return {m_size, m_size};
}

void Spinner::showEvent(QShowEvent*) {
    m_clock.start();
    // Still, as a ring with a mark, when the desktop asks for less motion.
    if (!Theme::reduceMotion())
        m_timer.start();
}

void Spinner::hideEvent(QHideEvent*) {
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double pen = std::max(1.6, m_size / 8.0);
    const QRectF ring = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    painter.setPen(QPen(Theme::primary(this, 0.12), pen));
    painter.drawEllipse(ring);
    painter.setPen(QPen(StudioStyle::accent(), pen, Qt::SolidLine, Qt::RoundCap));
    const int start = m_timer.isActive() ? -int(m_clock.elapsed() % 900 * 360 / 900) : 90;
    painter.drawArc(ring, start * 16, -100 * 16);
}

} // namespace tovi
