#include "sheet_parts.h"

#include "shell/controls.h"
#include "shell/work_area.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tovi::SheetParts {

namespace {

// The number in front of a step.
class Badge : public QWidget {
public:
    explicit Badge(int number)
        : m_number(QString::number(number)) {
        setFixedSize(22, 22);
        setFont(Typography::font(Typography::Style::subheadline, QFont::Bold));
        setDecorative(this); // the steps are read in their order
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(StudioStyle::accent(), Theme::isDark() ? 0.24 : 0.14));
        painter.drawEllipse(QRectF(rect()));
        painter.setPen(StudioStyle::accent());
        painter.drawText(rect(), Qt::AlignCenter, m_number);
    }

private:
    QString m_number;
};

} // namespace

Skeleton buildSheet(QDialog* sheet, const QString& title, QSize size, const Spacing& spacing) {
    sheet->setWindowTitle(title);
    sheet->setWindowModality(Qt::WindowModal);
    WorkArea::fitSheet(sheet, size);
    sheet->setAutoFillBackground(true);
    Skeleton parts;
    parts.outer = new QVBoxLayout(sheet);
    parts.outer->setContentsMargins(0, 0, 0, 0);
    parts.outer->setSpacing(0);

    parts.header = new QHBoxLayout;
    parts.header->setContentsMargins(margin, spacing.headerTop, margin, spacing.headerBottom);
    parts.title = textLabel(title, Typography::Style::title2, QFont::Bold);
    parts.title->setObjectName(QStringLiteral("sheetTitle"));
    parts.header->addWidget(parts.title, 1);
    parts.outer->addLayout(parts.header);

    parts.scroll = new QScrollArea;
    parts.scroll->setObjectName(QStringLiteral("body"));
    parts.scroll->setFrameShape(QFrame::NoFrame);
    parts.scroll->setFocusPolicy(Qt::NoFocus); // Tab goes to the controls inside
    parts.scroll->setWidgetResizable(true);
    parts.scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // the body wraps
    parts.scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    parts.body = new QVBoxLayout(content);
    parts.body->setContentsMargins(margin, spacing.bodyTop, margin, spacing.bodyBottom);
    parts.body->setSpacing(spacing.body);
    parts.scroll->setWidget(content);
    parts.outer->addWidget(parts.scroll, 1);

    parts.footerBar = new QWidget;
    parts.footerBar->setObjectName(QStringLiteral("footerBar"));
    auto* bar = new QVBoxLayout(parts.footerBar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    parts.footer = new QVBoxLayout;
    parts.footer->setContentsMargins(margin, spacing.footerTop, margin, spacing.footerBottom);
    bar->addLayout(parts.footer);
    parts.outer->addWidget(parts.footerBar);
    return parts;
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

QLabel* textLabel(const QString& text, Typography::Style style, QFont::Weight weight,
                  bool secondary) {
    auto* label = new QLabel(text);
    label->setFont(Typography::font(style, weight));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* iconLabel(const QString& name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFixedSize(20, 20);
    label->setAlignment(Qt::AlignCenter);
    setDecorative(label);
    return label;
}

QHBoxLayout* heading(QLabel* icon, QLabel* text) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    return row;
}

QWidget* step(int number, const QString& title, const QString& detail) {
    auto* widget = new QWidget;
    auto* row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new Badge(number), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->setContentsMargins(0, 2, 0, 0);
    texts->addWidget(textLabel(title, Typography::Style::callout, QFont::Normal));
    if (!detail.isEmpty())
        texts->addWidget(textLabel(detail, Typography::Style::subheadline, QFont::Normal, true));
    row->addLayout(texts, 1);
    return widget;
}

QVBoxLayout* cardColumn(QWidget* card) {
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 12, 16, 12);
    column->setSpacing(9);
    return column;
}

QPushButton* flatButton(const QString& text, const QString& name, Typography::Style style,
                        QFont::Weight weight) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setAccessibleName(text);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(Typography::font(style, weight));
    return button;
}

QString flatButtonStyle(const QWidget* sheet) {
    const QColor accent = StudioStyle::accent();
    return QStringLiteral("QPushButton { background: transparent; color: %1; border: none;"
                          " border-radius: 8px; padding: 7px 12px; }"
                          "QPushButton:hover { background: %2; }"
                          "QPushButton:pressed { background: %3; }"
                          "QPushButton:disabled { color: %4; }")
        .arg(accent.name(), css(withAlpha(accent, 0.08)), css(withAlpha(accent, 0.15)),
             css(Theme::primary(sheet, 0.3)));
}

QString accentButtonStyle() {
    const QColor accent = StudioStyle::accent();
    return QStringLiteral("QPushButton { background: %1; color: white; border: none; "
                          "border-radius: 8px; padding: 6px 18px; font-weight: 600; }"
                          "QPushButton:disabled { background: %2; }")
        .arg(accent.name(), accent.lighter(150).name());
}

Card::Card(const QString& name) {
    if (!name.isEmpty())
        setObjectName(name);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Theme::primary(this, Theme::isDark() ? 0.08 : 0.07), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

Band::Band(Tint tint, qreal radius)
    : m_tint(std::move(tint))
    , m_radius(radius) {}

void Band::paint(QWidget* widget, const QColor& tint, qreal radius) {
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    const qreal corner = radius == pill ? widget->height() / 2.0 : radius;
    painter.drawRoundedRect(QRectF(widget->rect()), corner, corner);
}

void Band::paintEvent(QPaintEvent*) {
    paint(this, m_tint(this), m_radius);
}

Hairline::Hairline() {
    setFixedHeight(1);
    setDecorative(this);
}

void Hairline::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Theme::primary(this, Theme::isDark() ? 0.1 : 0.08));
}

} // namespace tovi::SheetParts
