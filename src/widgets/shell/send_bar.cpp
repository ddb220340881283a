#include "send_bar.h"

#include "shell/theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovi {

SendBar::SendBar(QWidget* options, QWidget* parent)
    : QWidget(parent)
    , m_title(new QLabel)
    , m_subtitle(new QLabel)
    , m_row(new QHBoxLayout(this))
    , m_button(new QPushButton) {
    m_row->setContentsMargins(18, 18, 18, 18);
    m_row->setSpacing(16);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    m_title->setFont(Typography::font(Typography::Style::callout, QFont::DemiBold));
    m_subtitle->setFont(Typography::font(Typography::Style::caption));
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);
    texts->addWidget(m_title);
    texts->addWidget(m_subtitle);
    m_row->addLayout(texts);
    m_row->addStretch(1);

    // The prominent button: accent fill, white label, the arrow after the text.
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setLayoutDirection(Qt::RightToLeft);
    m_button->setIcon(Icons::icon(QStringLiteral("arrow.up.right"), Qt::white, 14));
    m_button->setMinimumHeight(32);
    m_button->setFont(Typography::font(Typography::Style::body, QFont::DemiBold));
    m_button->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: %1; color: white; border: none; border-radius: 7px;"
            " padding: 6px 14px; }"
            "QPushButton:hover { background: %2; }"
            "QPushButton:pressed { background: %3; }"
            "QPushButton:focus { border: 2px solid rgba(255,255,255,170); }"
            "QPushButton:disabled { background: %4; color: rgba(255,255,255,150); }")
            .arg(StudioStyle::accent().name(), StudioStyle::accent().lighter(108).name(),
                 StudioStyle::accent().darker(115).name(), QColor(160, 160, 160).name()));
    connect(m_button, &QPushButton::clicked, this, &SendBar::triggered);
    // Added in the order they stand, so Tab meets them left to right.
    if (options)
        m_row->addWidget(options);
    m_row->addWidget(m_button);
}

void SendBar::setTitle(const QString& title) {
    m_title->setText(title);
}

void SendBar::setSubtitle(const QString& subtitle) {
    m_subtitle->setText(subtitle);
}

void SendBar::setButton(const QString& label) {
    m_button->setText(label);
    m_button->setAccessibleName(label);
}

void SendBar::setDisabled(bool disabled) {
    m_button->setDisabled(disabled);
}

QString SendBar::title() const {
    return m_title->text();
}

QString SendBar::subtitle() const {
    return m_subtitle->text();
}

void SendBar::paintEvent(QPaintEvent*) {
    // The bar material: the window's colour, a touch of the accent, and a hairline on top.
    QPainter painter(this);
    QColor fill = palette().color(QPalette::Window);
    fill = Theme::isDark() ? fill.lighter(125) : fill.lighter(102);
    painter.fillRect(rect(), fill);
    QColor tint = StudioStyle::accent();
    tint.setAlphaF(0.05f);
    painter.fillRect(rect(), tint);
    painter.setPen(QPen(Theme::primary(this, 0.1), 1));
    painter.drawLine(QPointF(0, 0.5), QPointF(width(), 0.5));
}

} // namespace tovi
