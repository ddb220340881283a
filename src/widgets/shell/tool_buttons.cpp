#include "tool_buttons.h"

#include "shell/controls.h"
#include "shell/theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

namespace tovi {

ToolButtons::ToolButtons(std::vector<EditorTool> tools, QWidget* parent)
    : QWidget(parent)
    , m_tools(std::move(tools)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    for (EditorTool tool : m_tools) {
        auto* button = new QToolButton(this);
        button->setAutoRaise(false);
        button->setToolTip(rawValue(tool));
        button->setAccessibleName(rawValue(tool));
        button->setIconSize({16, 16});
        if (symbolOnly(tool)) {
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
            button->setMinimumWidth(22 + 16);
        } else {
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            button->setText(rawValue(tool));
        }
        button->setMinimumHeight(28);
        connect(button, &QToolButton::clicked, this, [this, tool] {
            const std::optional<EditorTool> next =
                m_selected == tool ? std::nullopt : std::optional(tool);
            setSelected(next);
            emit selectedChanged(next);
        });
        row->addWidget(button);
        m_buttons[tool] = button;
    }
    restyle();
}

void ToolButtons::setSelected(std::optional<EditorTool> tool) {
    if (tool == m_selected)
        return;
    m_selected = tool;
    restyle();
}

QToolButton* ToolButtons::button(EditorTool tool) const {
    const auto found = m_buttons.find(tool);
    return found == m_buttons.end() ? nullptr : found->second;
}

void ToolButtons::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

void ToolButtons::restyle() {
    for (const auto& [tool, button] : m_buttons) {
        const bool on = m_selected == tool;
        const QColor tint = on ? StudioStyle::accent() : Theme::secondary(this);
        button->setIcon(Icons::icon(symbol(tool), tint));
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, tint);
        button->setPalette(palette);
        setAccessibleExpanded(button, on);
        QFont font = button->font();
        font.setWeight(on ? QFont::DemiBold : QFont::Normal);
        button->setFont(font);
    }
}

} // namespace tovi
