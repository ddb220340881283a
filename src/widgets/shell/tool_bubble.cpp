#include "tool_bubble.h"

#include "shell/controls.h"
#include "shell/theme.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tovi {
namespace {

constexpr qreal cornerRadius = 22;
// The shadow (black 0.12, radius 18, 8 down) is painted below the card, in room kept for it.
constexpr int shadowRoom = 26;
constexpr int shadowRadius = 18;
constexpr int shadowOffset = 8;

// The card itself: the fill, the hairline and the rounded shape.
class BubbleCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF shape = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor fill = palette().color(QPalette::Window);
        if (!Theme::reduceTransparency()) {
            // A thin material: the window's colour lifted a little and slightly see-through.
            fill = Theme::isDark() ? fill.lighter(135) : QColor(255, 255, 255);
            fill.setAlphaF(0.9f);
        }
        painter.setPen(QPen(Theme::primary(this, 0.06), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(shape, cornerRadius, cornerRadius);
    }
};

} // namespace

ToolBubble::ToolBubble(Content content, QWidget* parent)
    : QWidget(parent)
    , m_build(std::move(content))
    , m_card(new BubbleCard(this))
    , m_icon(new QLabel)
    , m_title(new QLabel)
    , m_done(new QPushButton(QStringLiteral("Gotowe")))
    , m_scroll(new QScrollArea) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, shadowRoom);
    outer->addWidget(m_card);

    auto* stack = new QVBoxLayout(m_card);
    stack->setContentsMargins(0, 0, 0, 10);
    stack->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(18, 18, 18, 18);
    header->setSpacing(8);
    m_title->setFont(Typography::font(Typography::Style::headline));
    m_done->setFlat(true);
    m_done->setCursor(Qt::PointingHandCursor);
    m_done->setFont(Typography::font(Typography::Style::body, QFont::DemiBold));
    connect(m_done, &QPushButton::clicked, this, [this] {
        setSelected(std::nullopt);
        emit selectedChanged(std::nullopt);
    });
    setDecorative(m_icon); // the title beside it names the tool
    header->addWidget(m_icon);
    header->addWidget(m_title);
    header->addStretch(1);
    header->addWidget(m_done);
    stack->addLayout(header);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFixedHeight(1);
    divider->setObjectName(QStringLiteral("bubbleDivider"));
    setDecorative(divider);
    stack->addWidget(divider);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setFocusPolicy(Qt::NoFocus); // Tab goes to the controls inside
    // The card shows through the scroll area, whose square corners would otherwise cover its
    // rounded ones. (No style sheet: it would fix the palette of every panel inside.)
    m_scroll->setAutoFillBackground(false);
    m_scroll->viewport()->setAutoFillBackground(false);
    stack->addWidget(m_scroll, 1);
    setBubbleHeight(390);
    m_card->hide();
    restyle();
}

void ToolBubble::setBubbleHeight(int height) {
    setFixedHeight(height + shadowRoom);
}

int ToolBubble::bubbleHeight() const {
    return height() - shadowRoom;
}

void ToolBubble::paintEvent(QPaintEvent*) {
    if (!m_card->isVisible())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = m_card->geometry();
    QPainterPath outside;
    outside.addRect(QRectF(rect()));
    QPainterPath shape;
    shape.addRoundedRect(card, cornerRadius, cornerRadius);
    painter.setClipPath(outside.subtracted(shape));
    painter.setPen(Qt::NoPen);
    // Layers growing outwards, each faint, approximate a blurred shadow.
    for (int i = shadowRadius; i > 0; i -= 2) {
        const double fade = 1.0 - double(i) / shadowRadius;
        painter.setBrush(QColor(0, 0, 0, qRound(255 * 0.12 * fade * fade * 0.22)));
        painter.drawRoundedRect(
            card.adjusted(-i / 2.0, -i / 2.0, i / 2.0, i / 2.0).translated(0, shadowOffset),
            cornerRadius + i / 2.0, cornerRadius + i / 2.0);
    }
}

void ToolBubble::setSelected(std::optional<EditorTool> tool) {
    if (tool == m_selected)
        return;
    m_selected = tool;
    m_card->setVisible(tool.has_value());
    if (!tool) {
        delete m_scroll->takeWidget();
        m_content = nullptr;
        return;
    }
    m_title->setText(rawValue(*tool));
    m_scroll->setAccessibleName(QStringLiteral("Panel: ") + rawValue(*tool));
    auto* holder = new QWidget;
    holder->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(18, 14, 18, 18);
    m_content = m_build ? m_build(*tool) : nullptr;
    if (m_content)
        column->addWidget(m_content);
    column->addStretch(1);
    m_scroll->setWidget(holder);          // the previous tool's controls go with their holder
    holder->setAutoFillBackground(false); // the card shows through
    // Built after the rest of the window, the controls would come last on Tab: they come right
    // after "Gotowe", before the send bar.
    placeTabStops(m_done, holder);
    restyle();
}

void ToolBubble::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

void ToolBubble::restyle() {
    if (m_selected)
        m_icon->setPixmap(Icons::pixmap(symbol(*m_selected), Theme::primary(this), 18));
    QPalette done = m_done->palette();
    done.setColor(QPalette::ButtonText, StudioStyle::accent());
    m_done->setPalette(done);
    if (auto* divider = m_card->findChild<QFrame*>(QStringLiteral("bubbleDivider"))) {
        QPalette line = divider->palette();
        line.setColor(QPalette::WindowText, Theme::primary(this, 0.1));
        divider->setPalette(line);
    }
}

} // namespace tovi
