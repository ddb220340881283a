#pragma once

#include "shell/editor_tool.h"
#include "shell/tool_bubble.h"

#include <QSizeF>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace tovi {

class DevicePreview;
class ToolButtons;

// The frame both editing screens share: the title block and a context area on top; the device
// preview with its hint in the middle; on the right the tool strip, the collection button and the
// panel of the selected tool. Sizes follow the space offered (see the two layout functions).
class EditorWorkspace : public QWidget {
    Q_OBJECT
public:
    static constexpr int padding = 28;
    static constexpr int toolColumnWidth = 380;

    // The device picture's width for a workspace of `available` size: the smallest of 480,
    // Wa − 455 and (Ha − 175) × 1946 / 2104, but at least 170.
    static double previewWidth(QSizeF available);
    // The tool panel's height: min(Ha − 180, 390).
    static double bubbleHeight(QSizeF available);

    // `tools` are the screen's own; the material tool always comes first. `panel` builds the
    // controls of every tool but material, `material` the material panel. `context`, at most
    // 420 × 60, is the screen's status or card strip beside the title; the workspace takes it.
    EditorWorkspace(std::vector<EditorTool> tools, std::function<QWidget*()> material,
                    std::function<QWidget*(EditorTool)> panel, QWidget* context = nullptr,
                    QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setSubtitle(const QString& subtitle);
    // With an `action`, the hint is a link that runs it.
    void setHint(const QString& hint, std::function<void()> action = {});
    // The central preview; the workspace takes ownership and sizes it.
    void setPreview(DevicePreview* preview);
    void setOpenCollection(std::function<void()> open);

    std::optional<EditorTool> selected() const { return m_selected; }
    void setSelected(std::optional<EditorTool> tool);

    DevicePreview* preview() const { return m_preview; }
    ToolButtons* toolButtons() const { return m_buttons; }
    ToolBubble* bubble() const { return m_bubble; }
    QToolButton* collectionButton() const { return m_collection; }
    QLabel* hint() const { return m_hint; }

signals:
    // Every change of the open tool, by the person or by the screen.
    void selectedChanged(std::optional<tovi::EditorTool> tool);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void relayout();

    std::optional<EditorTool> m_selected;
    QLabel* m_title;
    QLabel* m_subtitle;
    QWidget* m_contextHolder;
    QWidget* m_previewArea;
    DevicePreview* m_preview = nullptr;
    QLabel* m_hint;
    ToolButtons* m_buttons;
    QToolButton* m_collection;
    ToolBubble* m_bubble;
    std::function<void()> m_openCollection;
    std::function<void()> m_hintAction;
};

} // namespace tovi
