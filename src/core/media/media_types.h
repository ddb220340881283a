#pragma once

#include <QImage>
#include <QJsonObject>
#include <QSizeF>
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
    static constexpr double minZoom = 1;
    static constexpr double maxZoom = 3;
    static constexpr double reach = 1; // how far x and y go either way

    double zoom = 1; // minZoom … maxZoom
    double x = 0;    // −reach (left edge) … +reach (right edge)
    double y = 0;    // −reach (top edge) … +reach (bottom edge)

    bool operator==(const CropSettings&) const = default;

    // The gestures on a preview, the same on every screen; each result is within the bounds.
    // A pointer drag of (dx, dy) points over a preview square `size` points wide, showing a
    // picture of `picture` pixels; nothing moves without a picture or a preview.
    CropSettings panned(double dx, double dy, double size, QSizeF picture) const;
    // A scroll-wheel delta; `precise` for continuous scrolling devices.
    CropSettings zoomed(double delta, bool precise) const;
    // A pinch's scale factor.
    CropSettings magnified(double scale) const;

    QJsonObject toJson() const;
    // All three keys are required and must be numbers; anything else gives nothing.
    static std::optional<CropSettings> fromJson(const QJsonValue& value);
};

enum class OutputFormat { gif, jpg };
inline constexpr std::array allOutputFormats{OutputFormat::gif, OutputFormat::jpg};
QString rawValue(OutputFormat format);
std::optional<OutputFormat> outputFormatFromRaw(const QString& raw);

// The way a sampled GIF plays its fragment: as it is, backwards, or forwards and back again.
enum class PlaybackOrder { normal, reverse, bounce };
inline constexpr std::array allPlaybackOrders{PlaybackOrder::normal, PlaybackOrder::reverse,
                                              PlaybackOrder::bounce};
QString rawValue(PlaybackOrder order);
std::optional<PlaybackOrder> playbackOrderFromRaw(const QString& raw);
// The speeds a sampled GIF plays at, as many times its source's pace.
inline constexpr std::array playbackSpeeds{0.5, 0.75, 1.0, 1.5, 2.0};

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
    // How a sampled GIF plays its fragment.
    PlaybackOrder order = PlaybackOrder::normal;
    double speed = 1; // one of playbackSpeeds; used clamped to 0.5 … 2

    bool operator==(const ExportOptions&) const = default;
};

} // namespace tovi
