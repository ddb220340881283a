#include "device/pack_error.h"
#include "media/image_source.h"
#include "media/media_processor.h"
#include "packs/pack_renderer.h"
#include "support/gif_summary.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

QImage grey(int side = 400) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(qRgb(128, 128, 128));
    return image;
}

// The bounding box of near-white pixels (text) within rows [top, bottom).
QRect textBox(const QImage& image, int top, int bottom) {
    QRect box;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGreen(image.pixel(x, y)) > 200)
                box |= QRect(x, y, 1, 1);
    return box;
}

PackCardEdit captioned(const QString& title, const QString& subtitle = QStringLiteral("Pod")) {
    return PackCardEdit{title, subtitle, true, std::nullopt, {}};
}

} // namespace

TEST(CardImage, WithoutCaptionsItIsTheCrop) {
    PackCardEdit edit = captioned(QStringLiteral("Tytuł"));
    edit.captions = false;
    edit.crop = {2, 0.3, 0};
    QImage source = grey();
    QPainter(&source).fillRect(0, 0, 200, 400, Qt::red);
    EXPECT_EQ(PackRenderer::image(source, edit, 3, 240),
              MediaProcessor::crop(source, edit.crop, 240));
}

TEST(CardImage, BandDarkensOnlyTheBottom105Units) {
    const QImage card = PackRenderer::image(grey(), captioned(QString(), QString()), -1, 240);
    EXPECT_EQ(card.pixel(10, 240 - 106), qRgb(128, 128, 128));
    EXPECT_EQ(card.pixel(200, 0), qRgb(128, 128, 128));
    const int nearTop = qGreen(card.pixel(10, 240 - 100));
    const int middle = qGreen(card.pixel(10, 240 - 52));
    const int bottom = qGreen(card.pixel(10, 239));
    EXPECT_GT(nearTop, middle);
    EXPECT_GT(middle, bottom);
    EXPECT_LT(bottom, 20);
}

TEST(CardImage, LinesAreCentredElidedAndScaleWithTheSide) {
    // Title baseline at 48 units: its glyphs lie roughly in rows 240-48-12 … 240-48+4.
    const QImage shortTitle =
        PackRenderer::image(grey(), captioned(QStringLiteral("Muzyka")), -1, 240);
    const QRect box = textBox(shortTitle, 240 - 62, 240 - 44);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.center().x(), 120, 2);

    const QString longText(80, QLatin1Char('W'));
    const QImage longTitle = PackRenderer::image(grey(), captioned(longText, longText), -1, 240);
    const QRect title = textBox(longTitle, 240 - 62, 240 - 44);
    EXPECT_LE(title.width(), 191);
    EXPECT_GT(title.width(), 150) << "an elided line still fills its width";
    EXPECT_NEAR(title.center().x(), 120, 2);
    const QRect subtitle = textBox(longTitle, 240 - 40, 240 - 27);
    EXPECT_LE(subtitle.width(), 157);

    const QImage large = PackRenderer::image(grey(), captioned(QStringLiteral("Muzyka")), -1, 600);
    const QRect largeBox = textBox(large, 600 - 155, 600 - 110);
    EXPECT_NEAR(largeBox.width(), box.width() * 2.5, 4);
    EXPECT_NEAR(largeBox.center().x(), 300, 3);
    EXPECT_NEAR(largeBox.bottom(), (box.bottom() + 1) * 2.5 - 1, 3);
}

TEST(CardImage, CardNumberOnlyForCards) {
    // The number's baseline is at 13 units, below the subtitle; compare with no number at all.
    const QImage plain = PackRenderer::image(grey(), captioned(QString(), QString()), -1, 240);
    const auto numberBox = [&](int slot) {
        const QImage card = PackRenderer::image(grey(), captioned(QString(), QString()), slot, 240);
        QRect box;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 240; ++x)
                if (card.pixel(x, y) != plain.pixel(x, y))
                    box |= QRect(x, y, 1, 1);
        return box;
    };
    const QRect first = numberBox(0);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_NEAR(first.center().x(), 120, 2);
    EXPECT_LT(first.width(), 16) << "two small digits";
    EXPECT_GE(first.top(), 240 - 13 - 9);
    EXPECT_LE(first.bottom(), 240 - 13 + 2);
    EXPECT_NE(numberBox(5), QRect()) << "06";
}

TEST(CardFrames, FourteenFramesWithTheirAnimation) {
    QImage card(240, 240, QImage::Format_RGB32);
    card.fill(Qt::white);
    QPainter(&card).fillRect(110, 0, 20, 30, Qt::red); // a mark at the top

    for (PackReveal animation : allPackReveals) {
        const auto frames = PackRenderer::cardFrames(card, 2, animation);
        ASSERT_EQ(frames.size(), 14u);
        double opening = 0;
        for (size_t i = 0; i + 1 < frames.size(); ++i)
            opening += frames[i].delay;
        EXPECT_NEAR(opening, 1.22, 1e-9);
        EXPECT_EQ(frames.back().delay, 655.35);
        EXPECT_EQ(frames.front().picture, card);
        EXPECT_EQ(frames.back().picture, card);
        if (animation == PackReveal::still) {
            for (const auto& frame : frames)
                EXPECT_EQ(frame.picture, card);
        }
    }
    const auto spin = PackRenderer::cardFrames(card, 0, PackReveal::spin);
    // A quarter turn clockwise puts the top mark on the right, with black corners.
    EXPECT_EQ(qRed(spin[3].picture.pixel(225, 120)), 255);
    EXPECT_EQ(qGreen(spin[3].picture.pixel(225, 120)), 0);
    EXPECT_EQ(spin[3].picture.pixel(15, 120), qRgb(255, 255, 255));
    EXPECT_EQ(spin[12].picture, card) << "a full turn is the card, not a resampled copy";
    EXPECT_EQ(spin[1].picture.pixel(1, 1), qRgb(0, 0, 0));

    const auto reveal = PackRenderer::cardFrames(card, 5, PackReveal::reveal);
    EXPECT_NEAR(qGreen(reveal[6].picture.pixel(60, 120)), 128, 2);
    EXPECT_EQ(reveal.back().delay, 240.0);

    EXPECT_THROW(PackRenderer::cardFrames(card, 6, PackReveal::still), PackError);
    EXPECT_THROW(PackRenderer::cardFrames(card, -1, PackReveal::still), PackError);
}

TEST(CardGif, TheDeviceSeesTheFramesAsDrawn) {
    // A captioned card over a two-tone picture, so that the band, text and turn all show.
    QImage picture = grey();
    QPainter(&picture).fillRect(0, 0, 200, 400, qRgb(40, 120, 200));
    const QImage card = PackRenderer::image(picture, captioned(QStringLiteral("Wieczór")), 3, 240);
    for (PackReveal animation : allPackReveals) {
        const QByteArray bytes = PackRenderer::gif(card, 3, animation);
        const test::GifSummary summary = test::summarize(bytes);
        ASSERT_EQ(summary.frames.size(), 14u);
        EXPECT_EQ(summary.loopCount, 0);
        EXPECT_EQ(summary.delays(),
                  (std::vector<int>{2, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 65535}));
        const auto frames = PackRenderer::cardFrames(card, 3, animation);
        const auto source = ImageSource::fromData(bytes);
        ASSERT_TRUE(source);
        for (int i = 0; i < 14; ++i) {
            const QImage shown = source->frame(i).convertToFormat(QImage::Format_RGB32);
            const QImage& drawn = frames[size_t(i)].picture;
            double sum = 0;
            for (int y = 0; y < 240; ++y)
                for (int x = 0; x < 240; ++x) {
                    const QRgb a = shown.pixel(x, y), b = drawn.pixel(x, y);
                    sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                           std::abs(qBlue(a) - qBlue(b));
                }
            EXPECT_LT(sum / (3 * 240 * 240), 2.0)
                << rawValue(animation).toStdString() << " frame " << i;
        }
    }
}
