#include "editor_tool.h"

namespace tovi {

QString rawValue(MacEditorTool tool) {
    switch (tool) {
    case MacEditorTool::crop:
        return QStringLiteral("Kadr");
    case MacEditorTool::animation:
        return QStringLiteral("Animacja");
    case MacEditorTool::caption:
        return QStringLiteral("Podpis");
    case MacEditorTool::material:
        break;
    }
    return QStringLiteral("Materiał");
}

std::optional<MacEditorTool> editorToolFromRaw(const QString& raw) {
    for (MacEditorTool tool : allEditorTools)
        if (rawValue(tool) == raw)
            return tool;
    return std::nullopt;
}

QString symbol(MacEditorTool tool) {
    switch (tool) {
    case MacEditorTool::crop:
        return QStringLiteral("crop");
    case MacEditorTool::animation:
        return QStringLiteral("arrow.clockwise");
    case MacEditorTool::caption:
        return QStringLiteral("textformat");
    case MacEditorTool::material:
        break;
    }
    return QStringLiteral("arrow.counterclockwise");
}

bool symbolOnly(MacEditorTool tool) {
    return tool == MacEditorTool::caption || tool == MacEditorTool::material;
}

} // namespace tovi
