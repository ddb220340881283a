#pragma once

#include "shell/editor_tool.h"

#include <QWidget>
#include <map>
#include <optional>
#include <vector>

class QToolButton;

namespace tovi {

// The strip of tool buttons. Pressing a tool selects it; pressing the selected one closes the
// panel. The selection belongs to the screen: the strip reports and shows it.
class ToolButtons : public QWidget {
    Q_OBJECT
public:
    explicit ToolButtons(std::vector<EditorTool> tools, QWidget* parent = nullptr);

    std::optional<EditorTool> selected() const { return m_selected; }
    void setSelected(std::optional<EditorTool> tool);
    QToolButton* button(EditorTool tool) const;

signals:
    void selectedChanged(std::optional<tovi::EditorTool> tool);

protected:
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    std::vector<EditorTool> m_tools;
    std::map<EditorTool, QToolButton*> m_buttons;
    std::optional<EditorTool> m_selected;
};

} // namespace tovi
