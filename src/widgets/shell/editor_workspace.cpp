#include "editor_workspace.h"

#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/theme.h"
#include "shell/tool_buttons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tovi {
namespace {

// The preview column: the preview at the width the workspace computed and the hint 14 points
// under it, centred together. Positioned by hand, so the preview's size never props the window
// open: a smaller window simply gets a smaller preview.
class PreviewArea : public QWidget {
public:
    explicit PreviewArea(QLabel* hint)
        : m_hint(hint) {
        m_hint->setParent(this);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    void setPreview(DevicePreview* preview) {
        m_preview = preview;
        if (preview)
            preview->setParent(this);
        arrange();
        if (preview)
            preview->show();
    }
    void setArtWidth(int width) {
        m_artWidth = width;
        arrange();
    }
    QSize minimumSizeHint() const override { return {170, 170}; }
    QSize sizeHint() const override { return {480, 560}; }

protected:
    void resizeEvent(QResizeEvent*) override { arrange(); }

private:
    void arrange() {
        const QSize preview = m_preview ? DevicePreview::sizeForArtWidth(m_artWidth) : QSize();
        int hintWidth = std::max(170, m_artWidth);
        int hintHeight = m_hint->heightForWidth(hintWidth);
        // The shadow's room under the picture counts towards the 14 points of spacing.
        const int gap = std::max(0, 14 - (m_preview ? DevicePreview::shadowMargins.bottom() : 0));
        // In a low window a second line of hint would be cut off: it takes the column's width.
        if (preview.height() + gap + hintHeight > height() && width() > hintWidth) {
            hintWidth = width();
            hintHeight = m_hint->heightForWidth(hintWidth);
        }
        const int total = preview.height() + gap + std::max(0, hintHeight);
        int y = std::max(0, (height() - total) / 2);
        if (m_preview) {
            m_preview->setGeometry((width() - preview.width()) / 2, y, preview.width(),
                                   preview.height());
            y += preview.height() + gap;
        }
        m_hint->setGeometry((width() - hintWidth) / 2, y, hintWidth, std::max(0, hintHeight));
    }

    QLabel* m_hint;
    DevicePreview* m_preview = nullptr;
    int m_artWidth = 480;
};

} // namespace

double EditorWorkspace::previewWidth(QSizeF available) {
    const double fitted = std::min(
        {480.0, available.width() - 455.0,
         (available.height() - 175.0) * DevicePreview::artWidth / DevicePreview::artHeight});
    return std::max(170.0, fitted);
}

double EditorWorkspace::bubbleHeight(QSizeF available) {
    return std::min(available.height() - 180.0, 390.0);
}

EditorWorkspace::EditorWorkspace(std::vector<EditorTool> tools, std::function<QWidget*()> material,
                                 std::function<QWidget*(EditorTool)> panel, QWidget* context,
                                 QWidget* parent)
    : QWidget(parent)
    , m_title(new QLabel)
    , m_subtitle(new QLabel)
    , m_contextHolder(new QWidget)
    , m_hint(new QLabel)
    , m_collection(new QToolButton) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    std::vector<EditorTool> strip{EditorTool::material};
    for (EditorTool tool : tools)
        if (tool != EditorTool::material)
            strip.push_back(tool);
    m_buttons = new ToolButtons(strip);
    m_bubble = new ToolBubble(
        [material = std::move(material), panel = std::move(panel)](EditorTool tool) -> QWidget* {
            if (tool == EditorTool::material)
                return material ? material() : nullptr;
            return panel ? panel(tool) : nullptr;
        });

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(padding, padding, padding, padding);
    stack->setSpacing(20);
    // The sizes follow the space offered; what the children need at the moment (the panel's
    // height, say) must not hold the window open.
    stack->setSizeConstraint(QLayout::SetNoConstraint);

    auto* header = new QHBoxLayout;
    header->setSpacing(20);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(5);
    m_title->setFont(Typography::font(Typography::Style::title, QFont::Bold));
    m_subtitle->setFont(Typography::font(Typography::Style::callout));
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);
    titles->addWidget(m_title);
    titles->addWidget(m_subtitle);
    header->addLayout(titles);
    header->addStretch(1);
    m_contextHolder->setMaximumSize(420, 60);
    auto* contextLayout = new QHBoxLayout(m_contextHolder);
    contextLayout->setContentsMargins(0, 0, 0, 0);
    // In before the tools, so Tab meets the card strip above them first.
    if (context)
        contextLayout->addWidget(context);
    header->addWidget(m_contextHolder, 0, Qt::AlignVCenter);
    stack->addLayout(header);

    auto* main = new QHBoxLayout;
    main->setSpacing(30);
    m_hint->setFont(Typography::font(Typography::Style::caption));
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    m_hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_hint->setWordWrap(true);
    connect(m_hint, &QLabel::linkActivated, this, [this] {
        if (m_hintAction)
            m_hintAction();
    });
    m_previewArea = new PreviewArea(m_hint);
    main->addWidget(m_previewArea, 1);

    auto* tools_ = new QVBoxLayout;
    tools_->setSpacing(16);
    auto* strip_ = new QHBoxLayout;
    strip_->setSpacing(8);
    strip_->addWidget(m_buttons);
    strip_->addStretch(1);
    m_collection->setAutoRaise(false);
    m_collection->setAccessibleName(QStringLiteral("Kolekcja"));
    m_collection->setToolTip(QStringLiteral("Kolekcja"));
    m_collection->setMinimumHeight(28);
    connect(m_collection, &QToolButton::clicked, this, [this] {
        if (m_openCollection)
            m_openCollection();
    });
    strip_->addWidget(m_collection);
    tools_->addLayout(strip_);
    tools_->addWidget(m_bubble);
    tools_->addStretch(1);
    auto* toolColumn = new QWidget;
    toolColumn->setFixedWidth(toolColumnWidth);
    toolColumn->setLayout(tools_);
    tools_->setContentsMargins(0, 0, 0, 0);
    main->addWidget(toolColumn);
    stack->addLayout(main, 1);

    const auto choose = [this](std::optional<EditorTool> tool) { setSelected(tool); };
    connect(m_buttons, &ToolButtons::selectedChanged, this, choose);
    connect(m_bubble, &ToolBubble::selectedChanged, this, choose);
    changeEvent(nullptr);
}

void EditorWorkspace::setTitle(const QString& title) {
    m_title->setText(title);
}

void EditorWorkspace::setSubtitle(const QString& subtitle) {
    m_subtitle->setText(subtitle);
}

void EditorWorkspace::setHint(const QString& hint, std::function<void()> action) {
    m_hintAction = std::move(action);
    m_hint->setTextFormat(m_hintAction ? Qt::RichText : Qt::PlainText);
    m_hint->setText(m_hintAction ? QStringLiteral("<a href=\"#\">%1</a>").arg(hint.toHtmlEscaped())
                                 : hint);
    m_hint->setTextInteractionFlags(m_hintAction
                                        ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                        : Qt::NoTextInteraction);
    m_hint->setAccessibleName(hint);
    setLabelLink(m_hint, m_hintAction);
}

void EditorWorkspace::setPreview(DevicePreview* preview) {
    if (m_preview)
        m_preview->deleteLater();
    m_preview = preview;
    static_cast<PreviewArea*>(m_previewArea)->setPreview(preview);
    relayout();
}

void EditorWorkspace::setOpenCollection(std::function<void()> open) {
    m_openCollection = std::move(open);
}

void EditorWorkspace::setSelected(std::optional<EditorTool> tool) {
    const bool changed = tool != m_selected;
    m_selected = tool;
    m_buttons->setSelected(tool);
    m_bubble->setSelected(tool);
    if (changed)
        emit selectedChanged(tool);
}

void EditorWorkspace::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void EditorWorkspace::changeEvent(QEvent* event) {
    if (event)
        QWidget::changeEvent(event);
    if (!event || event->type() == QEvent::PaletteChange)
        m_collection->setIcon(
            Icons::icon(QStringLiteral("square.grid.2x2"), Theme::secondary(this)));
}

void EditorWorkspace::relayout() {
    const QSizeF available = size();
    static_cast<PreviewArea*>(m_previewArea)->setArtWidth(qRound(previewWidth(available)));
    m_bubble->setBubbleHeight(std::max(0, qRound(bubbleHeight(available))));
}

} // namespace tovi
