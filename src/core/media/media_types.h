#pragma once

#include <QImage>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <array>
#include <optional>

namespace tovi {

// One inspected file. `frame` is the first frame, upright, bounded to 2000 px (images) or
// 1600 × 1600 (videos).
struct MediaInfo {
    QUrl url;
    QImage frame;
    double duration = 0; // seconds: sum of frame delays, the video's duration, or 0 for a still
    bool animated = false;
    bool video = false;
};

// A square window out of a picture. Out-of-range values may be stored; users of the crop clamp.
struct CropSettings {
    double zoom = 1; // 1 … 3
    double x = 0;    // −1 (left edge) … +1 (right edge)
    double y = 0;    // −1 (top edge) … +1 (bottom edge)

    bool operator==(const CropSettings&) const = default;

    QJsonObject toJson() const;
    // All three keys are required and must be numbers; anything else gives nothing.
    static std::optional<CropSettings> fromJson(const QJsonValue& value);
};

enum class OutputFormat { gif, jpg };
inline constexpr std::array allOutputFormats{OutputFormat::gif, OutputFormat::jpg};
QString rawValue(OutputFormat format);
std::optional<OutputFormat> outputFormatFromRaw(const QString& raw);

// Everything an export needs besides the source file.
struct ExportOptions {
    CropSettings crop;
    OutputFormat format = OutputFormat::jpg;
    double start = 0;  // seconds into the source
    double length = 4; // seconds of source; never more than 8 are taken
    int fps = 12;      // used clamped to 1 … 12
    bool rotation = false;
    double rotationSeconds = 4; // one full turn, used clamped to 1 … 8
    bool clockwise = true;
    bool captions = false;
    QString captionTitle;
    QString captionSubtitle;

    bool operator==(const ExportOptions&) const = default;
};

} // namespace tovi
