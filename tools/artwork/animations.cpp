#include "animations.h"

#include "media/gif_writer.h"
#include "packs/pack_renderer.h"

#include <cmath>
#include <numbers>

namespace tovi::artwork {

QImage supersampledFrame(const std::function<void(QPainter&)>& paint) {
    constexpr int factor = 2;
    QImage big(screenSide * factor, screenSide * factor, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::black);
    {
        QPainter painter(&big);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.scale(factor, factor);
        paint(painter);
    }
    return big.scaled(screenSide, screenSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

Animation exampleAnimation(const QImage& photo) {
    constexpr int frames = 36;
    constexpr double fps = 12;
    PackCardEdit edit;
    edit.title = QStringLiteral("Wakacyjna trasa");
    edit.subtitle = QStringLiteral("sierpień, gdzieś na południu");
    edit.captions = true;

    Animation animation;
    for (int i = 0; i < frames; ++i) {
        // In and back out again, easing at both ends, so the loop has no seam.
        const double ease = (1 - std::cos(2 * std::numbers::pi * i / frames)) / 2;
        edit.crop.zoom = 1 + 0.3 * ease;
        edit.crop.x = 0.1 * ease;
        edit.crop.y = -0.55 * ease; // towards the sun above the horizon
        animation.frames.push_back(
            PackRenderer::image(photo, edit, -1, screenSide).convertToFormat(QImage::Format_RGB32));
        animation.delays.push_back(1 / fps);
    }
    return animation;
}

std::map<QString, QByteArray> animationFiles(const QImage& examplePhoto) {
    const auto gif = [](const Animation& animation) {
        return encodeGif(animation.frames, animation.delays);
    };
    std::map<QString, QByteArray> files;
    files[QStringLiteral("tutorial-karvel-panda.gif")] = gif(pandaAnimation());
    files[QStringLiteral("tutorial-your-example.gif")] = gif(exampleAnimation(examplePhoto));
    for (int face = 1; face <= 6; ++face)
        files[QStringLiteral("original-game1-%1.gif").arg(face)] = gif(diceAnimation(face));
    return files;
}

} // namespace tovi::artwork
