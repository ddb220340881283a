#include "controls.h"

#include "shell/theme.h"

#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <algorithm>

namespace tovi {

// --- Accessible roles ---------------------------------------------------------------------------

namespace {

constexpr char roleProperty[] = "toviAccessibleRole";

class RoleAccessible : public QAccessibleWidget {
public:
    RoleAccessible(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

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
        return state;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (button())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && button())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    QAbstractButton* button() const { return qobject_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* roleFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    const QVariant role = widget ? widget->property(roleProperty) : QVariant();
    return role.isValid() ? new RoleAccessible(widget, QAccessible::Role(role.toInt())) : nullptr;
}

} // namespace

void setAccessibleRole(QWidget* widget, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(roleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(roleProperty, int(role));
    // Setting a name first has already made (and cached) Qt's own interface.
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    if (face && !dynamic_cast<RoleAccessible*>(face))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
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
        setAccessibleRole(button, QAccessible::RadioButton);
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
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::primary(this, 0.07));
    painter.drawRoundedRect(QRectF(rect()), 8, 8);
}

// --- ElidedLabel --------------------------------------------------------------------------------

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
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
