#pragma once

#include "shell/editor_tool.h"

#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QScrollArea;

namespace tovi {

// The floating panel of the selected tool: a header with the tool and "Gotowe", and the tool's
// controls in a scroll area, on a rounded translucent card. Always the same height; with no
// tool selected it is an empty, clear area, so nothing below it moves.
class ToolBubble : public QWidget {
    Q_OBJECT
public:
    // Builds the controls of a tool; the bubble owns what it returns.
    using Content = std::function<QWidget*(EditorTool)>;

    explicit ToolBubble(Content content, QWidget* parent = nullptr);

    std::optional<EditorTool> selected() const { return m_selected; }
    // Rebuilds the content when the tool changes.
    void setSelected(std::optional<EditorTool> tool);
    // The card's height; the widget is a little taller, for the card's shadow.
    void setBubbleHeight(int height);
    int bubbleHeight() const;
    QWidget* content() const { return m_content; }
    QPushButton* doneButton() const { return m_done; }

signals:
    // "Gotowe" closes the panel.
    void selectedChanged(std::optional<tovi::EditorTool> tool);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void restyle();

    Content m_build;
    std::optional<EditorTool> m_selected;
    QWidget* m_card;
    QLabel* m_icon;
    QLabel* m_title;
    QPushButton* m_done;
    QScrollArea* m_scroll;
    QWidget* m_content = nullptr;
};

} // namespace tovi
