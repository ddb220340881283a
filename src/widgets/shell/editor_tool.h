#pragma once

#include <QString>
#include <array>

namespace tovi {

// The tools of the editing screens; the raw value is also the title.
enum class EditorTool { crop, animation, caption, material };
inline constexpr std::array allEditorTools{EditorTool::crop, EditorTool::animation,
                                           EditorTool::caption, EditorTool::material};
QString rawValue(EditorTool tool);
// The symbol of the tool's button and panel header.
QString symbol(EditorTool tool);
// Caption and material show only their symbol in the tool strip.
bool symbolOnly(EditorTool tool);

} // namespace tovi
