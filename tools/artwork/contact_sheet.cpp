#include "contact_sheet.h"

#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "packs/pack_renderer.h"
#include "packs/starter_pack.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

namespace tovi::artwork {
namespace {

constexpr int card = 240;
constexpr int gap = 20;
constexpr int margin = 32;
constexpr int heading = 48;

QFont headingFont() {
    const int id = QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/opentype/inter/Inter-SemiBold.otf"));
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0, QStringLiteral("Inter")));
    font.setPixelSize(24);
    return font;
}

} // namespace

QImage contactSheet(const ResourceBundle& bundle) {
    const std::vector<StarterPack> packs = StarterPack::load(bundle);
    const int columns = 6;
    const int rows = static_cast<int>(packs.size());
    QImage sheet(2 * margin + columns * card + (columns - 1) * gap,
                 2 * margin + rows * (heading + card) + (rows - 1) * gap, QImage::Format_RGB32);
    sheet.fill(QColor(0x1b, 0x1d, 0x22));
    QPainter painter(&sheet);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QFont font = headingFont();

    for (int row = 0; row < rows; ++row) {
        const StarterPack& pack = packs[static_cast<size_t>(row)];
        const int top = margin + row * (heading + card + gap);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(margin, top + 30), pack.name);
        const double nameWidth = QFontMetricsF(font).horizontalAdvance(pack.name);
        painter.setPen(QColor(0x8a, 0x8f, 0x99));
        painter.drawText(QPointF(margin + nameWidth + 14, top + 30), pack.id);

        for (int slot = 0; slot < columns; ++slot) {
            auto source = ImageSource::open(pack.artwork(slot, bundle));
            const QImage original = source ? MediaProcessor::frame(*source, 0) : QImage();
            if (original.isNull())
                throw MediaError(MediaError::unreadable);
            PackCardEdit edit = PackCardEdit::defaults(&pack, slot);
            edit.captions = true;
            const QImage rendered = PackRenderer::image(original, edit, slot, card);

            const QPointF corner(margin + slot * (card + gap), top + heading);
            QPainterPath round;
            round.addEllipse(QRectF(corner, QSizeF(card, card)));
            painter.save();
            painter.setClipPath(round);
            painter.drawImage(corner, rendered);
            painter.restore();
            painter.setPen(QPen(QColor(0x3a, 0x3d, 0x45), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(round);
        }
    }
    painter.end();
    return sheet;
}

} // namespace tovi::artwork
