#include "material_panel.h"

#include "shell/theme.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovi {
namespace {

// The two rows' shared background: the primary colour at 0.04 on rounded corners, with an
// indented divider between the rows.
class RowGroup : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::primary(this, 0.04));
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
        if (const auto* first = findChild<QWidget*>(QStringLiteral("firstRow"))) {
            painter.setPen(QPen(Theme::primary(this, 0.1), 1));
            const double y = first->geometry().bottom() + 0.5;
            painter.drawLine(QPointF(42, y), QPointF(width(), y));
        }
    }
};

} // namespace

MaterialRow::MaterialRow(const QString& title, const QString& icon, QWidget* parent)
    : QAbstractButton(parent)
    , m_icon(icon) {
    setText(title);
    setAccessibleName(title);
    setCursor(Qt::PointingHandCursor);
    setFont(Typography::font(Typography::Style::callout));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize MaterialRow::sizeHint() const {
    return {240, std::max(44, fontMetrics().height() + 20)};
}

QSize MaterialRow::minimumSizeHint() const {
    return {120, 44};
}

void MaterialRow::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void MaterialRow::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void MaterialRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_hovered || isDown() || hasFocus()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::primary(this, isDown() ? 0.08 : 0.04));
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
    }
    const int middle = height() / 2;
    // Padded 12, then the 22-wide symbol frame, 12 apart from the title.
    painter.drawPixmap(12 + 2, middle - 9, Icons::pixmap(m_icon, StudioStyle::accent(), 18));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    const QRect textRect(12 + 22 + 12, 0, width() - 12 - 22 - 12 - 12 - 16, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
    painter.drawPixmap(width() - 12 - 12, middle - 6,
                       Icons::pixmap(QStringLiteral("chevron.right"), Theme::secondary(this), 12));
}

MaterialPanel::MaterialPanel(QWidget* photos, std::function<void()> files,
                             std::function<void()> restore, QWidget* parent)
    : QWidget(parent)
    , m_group(new RowGroup)
    , m_files(new MaterialRow(QStringLiteral("Pliki"), QStringLiteral("folder"))) {
    m_files->setObjectName(QStringLiteral("files"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);
    auto* heading = new QLabel(QStringLiteral("DODAJ Z"));
    heading->setFont(Typography::font(Typography::Style::caption, QFont::DemiBold));
    heading->setForegroundRole(QPalette::PlaceholderText);
    stack->addWidget(heading);

    auto* rows = new QVBoxLayout(m_group);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(1);
    if (photos) {
        photos->setObjectName(QStringLiteral("firstRow"));
        rows->addWidget(photos);
    }
    rows->addWidget(m_files);
    connect(m_files, &QAbstractButton::clicked, this, [files = std::move(files)] {
        if (files)
            files();
    });
    stack->addWidget(m_group);

    if (restore) {
        m_restore = new QPushButton(QStringLiteral("Przywróć grafikę z kolekcji"));
        m_restore->setFlat(true);
        m_restore->setCursor(Qt::PointingHandCursor);
        m_restore->setFont(Typography::font(Typography::Style::caption));
        Theme::followWithIcon(m_restore, QStringLiteral("arrow.counterclockwise"), 14);
        connect(m_restore, &QPushButton::clicked, this,
                [restore = std::move(restore)] { restore(); });
        stack->addWidget(m_restore, 0, Qt::AlignLeft);
    }
}

} // namespace tovi
