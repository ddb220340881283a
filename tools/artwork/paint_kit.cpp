#include "paint_kit.h"

#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QPainterPath>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tovi::artwork {

std::uint64_t Rng::next() {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double Rng::uniform(double low, double high) {
    const double unit = static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
    return low + (high - low) * unit;
}

QColor rgb(QRgb value) {
    return QColor::fromRgb(value);
}

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return colour;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    const auto channel = [t](float x, float y) { return static_cast<float>(x + (y - x) * t); };
    return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()),
                            channel(a.blueF(), b.blueF()), channel(a.alphaF(), b.alphaF()));
}

namespace {

// One box pass along rows (horizontal) or columns, with clamped edges.
void boxPass(QImage& image, int radius, bool horizontal) {
    const int width = image.width();
    const int height = image.height();
    const int lines = horizontal ? height : width;
    const int length = horizontal ? width : height;
    const int window = 2 * radius + 1;
    std::vector<QRgb> line(static_cast<size_t>(length));
    for (int l = 0; l < lines; ++l) {
        const auto at = [&](int i) -> QRgb* {
            return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(l)) + i
                              : reinterpret_cast<QRgb*>(image.scanLine(i)) + l;
        };
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = *at(i);
        const auto pixel = [&](int i) {
            return line[static_cast<size_t>(std::clamp(i, 0, length - 1))];
        };
        int sum[4] = {0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i) {
            const QRgb p = pixel(i);
            sum[0] += qAlpha(p), sum[1] += qRed(p), sum[2] += qGreen(p), sum[3] += qBlue(p);
        }
        for (int i = 0; i < length; ++i) {
            *at(i) = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            const QRgb in = pixel(i + radius + 1);
            const QRgb out = pixel(i - radius);
            sum[0] += qAlpha(in) - qAlpha(out);
            sum[1] += qRed(in) - qRed(out);
            sum[2] += qGreen(in) - qGreen(out);
            sum[3] += qBlue(in) - qBlue(out);
        }
    }
}

QString emojiFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty())
            throw std::runtime_error(
                "Noto Color Emoji is missing (package fonts-noto-color-emoji)");
        return families.constFirst();
    }();
    return family;
}

QImage layerLike(const QPainter& painter) {
    QImage layer(painter.device()->width(), painter.device()->height(),
                 QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    return layer;
}

void drawLayer(QPainter& painter, const QImage& layer) {
    painter.save();
    painter.resetTransform();
    painter.drawImage(0, 0, layer);
    painter.restore();
}

} // namespace

void blur(QImage& image, int radius) {
    if (radius <= 0)
        return;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(image, radius, true);
        boxPass(image, radius, false);
    }
}

QImage emojiGlyph(const QString& emoji) {
    static QMutex mutex;
    static QHash<QString, QImage> cache;
    const QMutexLocker lock(&mutex);
    if (const auto found = cache.constFind(emoji); found != cache.constEnd())
        return *found;

    QImage canvas(800, 800, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    QFont font(emojiFamily());
    font.setPixelSize(480);
    painter.setFont(font);
    painter.drawText(canvas.rect(), Qt::AlignCenter, emoji);
    painter.end();

    QRect box;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x)
            if (qAlpha(row[x]) > 8)
                box |= QRect(x, y, 1, 1);
    }
    if (box.isEmpty())
        throw std::runtime_error("an emoji drew nothing: " + emoji.toStdString());
    const QImage glyph = canvas.copy(box);
    cache.insert(emoji, glyph);
    return glyph;
}

void drawEmoji(QPainter& painter, const QString& emoji, QPointF centre, double size,
               double shadowOpacity) {
    const QImage glyph = emojiGlyph(emoji);
    const double scale = size / std::max(glyph.width(), glyph.height());
    const QSizeF drawn(glyph.width() * scale, glyph.height() * scale);
    const QRectF target(centre - QPointF(drawn.width() / 2, drawn.height() / 2), drawn);
    if (shadowOpacity > 0) {
        QImage layer = layerLike(painter);
        QPainter shadow(&layer);
        shadow.setRenderHint(QPainter::SmoothPixmapTransform);
        shadow.setTransform(painter.worldTransform());
        shadow.drawImage(target.translated(0, size * 0.04), glyph);
        shadow.setCompositionMode(QPainter::CompositionMode_SourceIn);
        shadow.fillRect(layer.rect(), withAlpha(Qt::black, shadowOpacity));
        shadow.end();
        blur(layer, static_cast<int>(size * 0.03) + 2);
        drawLayer(painter, layer);
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, glyph);
    painter.restore();
}

void drawShadow(QPainter& painter, const QPainterPath& path, QPointF offset, int radius,
                double opacity) {
    QImage layer = layerLike(painter);
    QPainter shadow(&layer);
    shadow.setRenderHint(QPainter::Antialiasing);
    shadow.setTransform(painter.worldTransform() *
                        QTransform::fromTranslate(offset.x(), offset.y()));
    shadow.fillPath(path, withAlpha(Qt::black, opacity));
    shadow.end();
    blur(layer, radius);
    drawLayer(painter, layer);
}

} // namespace tovi::artwork
