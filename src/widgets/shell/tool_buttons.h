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
class MacToolButtons : public QWidget {
    Q_OBJECT
public:
    explicit MacToolButtons(std::vector<MacEditorTool> tools, QWidget* parent = nullptr);

    std::optional<MacEditorTool> selected() const { return m_selected; }
    void setSelected(std::optional<MacEditorTool> tool);
    QToolButton* button(MacEditorTool tool) const;

signals:
    void selectedChanged(std::optional<tovi::MacEditorTool> tool);

protected:
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    std::vector<MacEditorTool> m_tools;
    std::map<MacEditorTool, QToolButton*> m_buttons;
    std::optional<MacEditorTool> m_selected;
};

} // namespace tovi
