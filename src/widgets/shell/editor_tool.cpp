#include "editor_tool.h"

namespace tovi {

QString rawValue(EditorTool tool) {
    switch (tool) {
    case EditorTool::crop:
        return QStringLiteral("Kadr");
    case EditorTool::animation:
        return QStringLiteral("Animacja");
    case EditorTool::caption:
        return QStringLiteral("Podpis");
    case EditorTool::material:
        break;
    }
    return QStringLiteral("Materiał");
}

QString symbol(EditorTool tool) {
    switch (tool) {
    case EditorTool::crop:
        return QStringLiteral("crop");
    case EditorTool::animation:
        return QStringLiteral("arrow.clockwise");
    case EditorTool::caption:
        return QStringLiteral("textformat");
    case EditorTool::material:
        break;
    }
    return QStringLiteral("arrow.counterclockwise");
}

bool symbolOnly(EditorTool tool) {
    return tool == EditorTool::caption || tool == EditorTool::material;
}

} // namespace tovi
