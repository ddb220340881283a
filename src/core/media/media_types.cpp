#include "media_types.h"

#include <QJsonValue>

namespace tovi {

QJsonObject CropSettings::toJson() const {
    return QJsonObject{
        {QStringLiteral("zoom"), zoom}, {QStringLiteral("x"), x}, {QStringLiteral("y"), y}};
}

std::optional<CropSettings> CropSettings::fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const QJsonValue zoom = object.value(QStringLiteral("zoom"));
    const QJsonValue x = object.value(QStringLiteral("x"));
    const QJsonValue y = object.value(QStringLiteral("y"));
    if (!zoom.isDouble() || !x.isDouble() || !y.isDouble())
        return std::nullopt;
    return CropSettings{zoom.toDouble(), x.toDouble(), y.toDouble()};
}

QString rawValue(OutputFormat format) {
    return format == OutputFormat::gif ? QStringLiteral("GIF") : QStringLiteral("JPG");
}

std::optional<OutputFormat> outputFormatFromRaw(const QString& raw) {
    for (OutputFormat format : allOutputFormats)
        if (rawValue(format) == raw)
            return format;
    return std::nullopt;
}

} // namespace tovi
