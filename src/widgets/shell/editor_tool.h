#pragma once

#include <QString>
#include <array>
#include <optional>

namespace tovi {

// The tools of the editing screens; the raw value is also the title.
enum class MacEditorTool { crop, animation, caption, material };
inline constexpr std::array allEditorTools{MacEditorTool::crop, MacEditorTool::animation,
                                           MacEditorTool::caption, MacEditorTool::material};
QString rawValue(MacEditorTool tool);
std::optional<MacEditorTool> editorToolFromRaw(const QString& raw);
// The symbol of the tool's button and panel header.
QString symbol(MacEditorTool tool);
// Caption and material show only their symbol in the tool strip.
bool symbolOnly(MacEditorTool tool);

} // namespace tovi
