#include "caption_band.h"

#include "app/product.h"
#include "media/media_error.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

namespace tovi::CaptionBand {
namespace {

constexpr double designSide = Product::screenSide;

QString captionFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/fonts/opentype/inter/Inter-Medium.otf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Inter") : families.constFirst();
    }();
    return family;
}

struct TextLine {
    QString text;
    int size;        // design units
    double opacity;  // of white
    double maxWidth; // design units
    double baseline; // design units above the bottom edge
};

void drawLine(QPainter& painter, const TextLine& line) {
    QFont font(captionFamily());
    font.setPixelSize(line.size);
    font.setWeight(QFont::Medium);
    font.setHintingPreference(QFont::PreferNoHinting); // widths scale exactly with the picture
    const QFontMetricsF metrics(font);
    const QString shown = metrics.horizontalAdvance(line.text) > line.maxWidth
                              ? metrics.elidedText(line.text, Qt::ElideRight, line.maxWidth)
                              : line.text;
    const double width = metrics.horizontalAdvance(shown);
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(1, 1, 1, static_cast<float>(line.opacity)));
    painter.drawText(QPointF((designSide - width) * 0.5, designSide - line.baseline), shown);
}

} // namespace

void draw(QImage& picture, const QString& title, const QString& subtitle, const QString& label) {
    QPainter painter(&picture);
    if (!painter.isActive())
        throw MediaError(MediaError::encode);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    const double scale = picture.width() / designSide;
    painter.scale(scale, scale);

    // The band darkens the bottom 105 units towards the lower edge.
    QLinearGradient band(0, designSide - 105, 0, designSide);
    band.setColorAt(0, QColor::fromRgbF(0, 0, 0, 0));
    band.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.92f));
    painter.fillRect(QRectF(0, designSide - 105, designSide, 105), band);

    drawLine(painter, {title, 15, 1.0, 190, 48});
    drawLine(painter, {subtitle, 10, 0.9, 156, 30});
    if (!label.isEmpty())
        drawLine(painter, {label, 9, 0.75, 65, 13});
}

} // namespace tovi::CaptionBand
