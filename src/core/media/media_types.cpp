#include "media_types.h"

#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace tovi {

QJsonObject CropSettings::toJson() const {
    return QJsonObject{
        {QStringLiteral("zoom"), zoom}, {QStringLiteral("x"), x}, {QStringLiteral("y"), y}};
}

CropSettings CropSettings::panned(double dx, double dy, double size, QSizeF picture) const {
    CropSettings crop = *this;
    const double w = picture.width();
    const double h = picture.height();
    if (!(w > 0 && h > 0 && size > 0))
        return crop;
    const double side =
        std::min(w, h) / std::clamp(std::isnan(zoom) ? minZoom : zoom, minZoom, maxZoom);
    if (w - side > 0.001)
        crop.x = std::clamp(x - 2 * dx * side / ((w - side) * size), -reach, reach);
    if (h - side > 0.001)
        crop.y = std::clamp(y - 2 * dy * side / ((h - side) * size), -reach, reach);
    return crop;
}

CropSettings CropSettings::zoomed(double delta, bool precise) const {
    CropSettings crop = *this;
    const double result = zoom * std::exp(delta * (precise ? 0.012 : 0.06));
    if (std::isfinite(result))
        crop.zoom = std::clamp(result, minZoom, maxZoom);
    return crop;
}

CropSettings CropSettings::magnified(double scale) const {
    CropSettings crop = *this;
    if (std::isfinite(scale) && scale > 0)
        crop.zoom = std::clamp(zoom * scale, minZoom, maxZoom);
    return crop;
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

QString rawValue(PlaybackOrder order) {
    switch (order) {
    case PlaybackOrder::reverse:
        return QStringLiteral("reverse");
    case PlaybackOrder::bounce:
        return QStringLiteral("bounce");
    case PlaybackOrder::normal:
        break;
    }
    return QStringLiteral("normal");
}

std::optional<PlaybackOrder> playbackOrderFromRaw(const QString& raw) {
    for (PlaybackOrder order : allPlaybackOrders)
        if (rawValue(order) == raw)
            return order;
    return std::nullopt;
}

} // namespace tovi
