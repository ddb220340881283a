#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <cstdint>

// Small drawing helpers shared by the card styles. Everything here is deterministic: the same
// calls give the same pixels on every run.
namespace tovi::artwork {

// splitmix64: tiny, seedable and identical everywhere, unlike the standard distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed)
        : m_state(seed) {}
    std::uint64_t next();
    double uniform(double low, double high);

private:
    std::uint64_t m_state;
};

QColor rgb(QRgb value);
QColor withAlpha(QColor colour, double alpha);
QColor mix(const QColor& a, const QColor& b, double t);

// Three box-blur passes, close to a Gaussian of the given radius. `image` must be
// Format_ARGB32_Premultiplied.
void blur(QImage& image, int radius);

// One colour emoji, cropped to its visible pixels (cached per text).
QImage emojiGlyph(const QString& emoji);

// Draws an emoji so that its longer visible side is `size`, centred on `centre`, over a soft
// shadow of the given opacity (0 for none).
void drawEmoji(QPainter& painter, const QString& emoji, QPointF centre, double size,
               double shadowOpacity = 0.3);

// A blurred dark copy of a filled path, for lifting badges and discs off their background.
void drawShadow(QPainter& painter, const QPainterPath& path, QPointF offset, int radius,
                double opacity);

} // namespace tovi::artwork
