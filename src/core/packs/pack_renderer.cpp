#include "pack_renderer.h"

#include "app/product.h"
#include "device/pack_error.h"
#include "media/caption_band.h"
#include "media/gif_writer.h"
#include "media/media_error.h"
#include "media/media_processor.h"

#include <QPainter>

namespace tovi::PackRenderer {

QImage image(const QImage& original, const PackCardEdit& edit, int slot, int pixelSize) {
    QImage card = MediaProcessor::crop(original, edit.crop, pixelSize);
    if (edit.captions)
        CaptionBand::draw(card, edit.title, edit.subtitle,
                          slot >= 0 ? QStringLiteral("%1").arg(slot + 1, 2, 10, QLatin1Char('0'))
                                    : QString());
    return card;
}

QImage original(const QString& path) {
    auto source = ImageSource::open(path);
    QImage first = source ? MediaProcessor::frame(*source, 0) : QImage();
    if (first.isNull())
        throw MediaError(MediaError::unreadable);
    return first;
}

QImage image(const QUrl& url, const PackCardEdit& edit, int slot) {
    return image(original(url.toLocalFile()), edit, slot, Product::screenSide);
}

namespace {

// Hands over the frames one at a time, as they are drawn, so that an encoder can start on the
// first while the others are still being drawn. A fade step's picture is drawn only when asked
// for: the GIF writer darkens the card's own encoding instead.
template <typename Visit>
void visitCardFrames(const QImage& card, int slot, PackReveal animation, bool drawFades,
                     Visit&& visit) {
    if (slot < 0 || slot > 5)
        throw PackError(PackError::payload);
    constexpr int steps = 12;
    visit(CardFrame{card, 0.02});
    for (int i = 1; i <= steps; ++i) {
        // The last step has made a full turn or a full fade: it is the card itself, exactly,
        // so nothing blurs or jumps before the hold (and the writer encodes it once).
        if (animation == PackReveal::still || i == steps) {
            visit(CardFrame{card, 0.1});
            continue;
        }
        const double fade = animation == PackReveal::spin ? 1 : double(i) / steps;
        if (fade < 1 && !drawFades) {
            visit(CardFrame{QImage(), 0.1, fade});
            continue;
        }
        constexpr double side = Product::screenSide;
        QImage frame(Product::screenSide, Product::screenSide, QImage::Format_RGB32);
        frame.fill(Qt::black);
        QPainter painter(&frame);
        if (!painter.isActive())
            throw MediaError(MediaError::encode);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        if (animation == PackReveal::spin) {
            painter.translate(side / 2, side / 2);
            painter.rotate(30.0 * i); // clockwise on screen, one full turn over twelve steps
            painter.drawImage(QRectF(-side / 2, -side / 2, side, side), card);
        } else {
            painter.setOpacity(fade);
            painter.drawImage(QRectF(0, 0, side, side), card);
        }
        painter.end();
        visit(CardFrame{std::move(frame), 0.1, fade});
    }
    visit(CardFrame{card, slot == 5 ? 240.0 : 655.35});
}

} // namespace

std::vector<CardFrame> cardFrames(const QImage& card, int slot, PackReveal animation) {
    std::vector<CardFrame> frames;
    visitCardFrames(card, slot, animation, true,
                    [&](CardFrame frame) { frames.push_back(std::move(frame)); });
    return frames;
}

QByteArray gif(const QImage& card, int slot, PackReveal animation) {
    GifWriter writer(QSize(Product::screenSide, Product::screenSide));
    visitCardFrames(card, slot, animation, false, [&](const CardFrame& frame) {
        // A fade is the card's own encoding with its palette darkened: one picture to encode.
        // A spin's steps show for a tenth of a second each: they are coded quickly.
        if (frame.fade < 1)
            writer.addFaded(card, frame.fade, frame.delay);
        else if (frame.picture == card)
            writer.add(card, frame.delay);
        else
            writer.add(frame.picture, frame.delay, GifEffort::quick);
    });
    QByteArray bytes = writer.finish();
    if (bytes.size() > MediaProcessor::maxGifBytes)
        throw MediaError(MediaError::tooLarge);
    return bytes;
}

} // namespace tovi::PackRenderer
