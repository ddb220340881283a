// Every kind of GIF we write, read as a small screen's firmware reads it: it must be accepted and
// show, frame by frame, exactly what our own reader shows.
#include "media/gif_lzw.h"
#include "media/gif_writer.h"
#include "media/image_source.h"
#include "media/media_processor.h"
#include "packs/pack_renderer.h"
#include "support/gif_builder.h"
#include "support/small_screen_gif.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

QUrl fixture(const char* name) {
    return QUrl::fromLocalFile(QStringLiteral(TOVI_FIXTURES "/") + QString::fromUtf8(name));
}

QImage card() {
    QImage image(240, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 240; ++x)
            image.setPixel(x, y, qRgb(x, y, (x * y) % 256));
    QPainter(&image).fillRect(100, 20, 40, 40, Qt::white);
    return image;
}

// The small reader accepts the file and agrees with ours on every frame and delay.
void expectSameOnASmallScreen(const QByteArray& gif, const char* what) {
    SCOPED_TRACE(what);
    const test::SmallScreenGif small = test::readAsSmallScreen(gif);
    ASSERT_TRUE(small.refusal.isEmpty()) << "refused: " << small.refusal.toStdString();
    auto ours = ImageSource::fromData(gif);
    ASSERT_TRUE(ours);
    ASSERT_EQ(int(small.frames.size()), ours->frameCount());
    for (int i = 0; i < ours->frameCount(); ++i) {
        const QImage expected = ours->frame(i).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(small.frames[size_t(i)], expected) << "frame " << i;
        EXPECT_NEAR(small.delays[size_t(i)] / 100.0, ours->delay(i), 0.005) << "frame " << i;
    }
}

ExportOptions gifOptions(double length) {
    ExportOptions options;
    options.format = OutputFormat::gif;
    options.length = length;
    return options;
}

} // namespace

TEST(SmallScreen, ReadsEveryKindOfGifWeWrite) {
    expectSameOnASmallScreen(encodeGif({card()}, {1.0}), "a single picture");

    ExportOptions clip = gifOptions(1.5);
    expectSameOnASmallScreen(MediaProcessor::exportMedia(fixture("video/pattern.mp4"), clip),
                             "a film, each frame over the one before");
    expectSameOnASmallScreen(MediaProcessor::exportMedia(fixture("video/rotated.mp4"), clip),
                             "a phone's rotated film");
    clip.captions = true;
    clip.captionTitle = QStringLiteral("Wakacje");
    clip.captionSubtitle = QStringLiteral("sierpień");
    expectSameOnASmallScreen(MediaProcessor::exportMedia(fixture("image/anim.png"), clip),
                             "a captioned animation");

    ExportOptions turning;
    turning.rotationSeconds = 2;
    expectSameOnASmallScreen(MediaProcessor::rotationGIF(card(), turning), "a rotation");

    for (PackReveal animation : allPackReveals)
        for (int slot : {0, 5})
            expectSameOnASmallScreen(PackRenderer::gif(card(), slot, animation), "a card");
}

TEST(SmallScreen, ReadsTheFactoryCardsAndTheTutorial) {
    const QDir resources(QStringLiteral(TOVI_FIXTURES "/../../resources"));
    const QStringList gifs = resources.entryList({QStringLiteral("*.gif")});
    ASSERT_EQ(gifs.size(), 8);
    for (const QString& name : gifs) {
        QFile file(resources.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        expectSameOnASmallScreen(file.readAll(), qPrintable(name));
    }
}

// The reader itself refuses what such firmware cannot show, or the tests above prove nothing.
TEST(SmallScreen, RefusesWhatFirmwareCannotShow) {
    // Only local tables: the layout of every GIF we wrote before.
    test::GifFrameSpec own = test::solidFrame({0, 0, 8, 8}, 1, 10);
    own.localPalette = {qRgb(0, 0, 0), qRgb(255, 0, 0)};
    const QByteArray local = test::buildGif({8, 8}, {}, {own});
    EXPECT_EQ(test::readAsSmallScreen(local).refusal, QStringLiteral("no global color table"));
    const QByteArray outside = test::buildGif({8, 8}, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                                              {test::solidFrame({4, 4, 8, 8}, 1, 10)});
    EXPECT_EQ(test::readAsSmallScreen(outside).refusal,
              QStringLiteral("an image outside the screen"));
    const QByteArray good = test::buildGif({8, 8}, {qRgb(0, 0, 0), qRgb(255, 0, 0)},
                                           {test::solidFrame({0, 0, 8, 8}, 1, 10)});
    const test::SmallScreenGif read = test::readAsSmallScreen(good);
    ASSERT_TRUE(read.refusal.isEmpty()) << read.refusal.toStdString();
    EXPECT_EQ(read.frames.front().pixel(7, 7), qRgb(255, 0, 0));
    QByteArray cut = good;
    cut.chop(6);
    EXPECT_FALSE(test::readAsSmallScreen(cut).refusal.isEmpty());
}

// A picture shown again in a clip is one frame of transparent pixels; however large, its codes
// stay within the 12 bits a small reader's table holds.
TEST(SmallScreen, AnUnchangedFrameOfMillionsOfPixelsStaysWithinTwelveBitCodes) {
    const int width = 4000, height = 2500;
    const gif::EncodedFrame frame = gif::unchangedFrame(width * height);
    QByteArray file("GIF89a");
    const auto word = [&](int v) { file.append(char(v & 0xff)).append(char(v >> 8)); };
    for (const int v : {width, height})
        word(v);
    file.append(char(0x80)).append('\0').append('\0'); // a global table of two colours
    file.append(QByteArray("\xff\xff\xff\0\0\0", 6));
    file.append(QByteArray("\x21\xf9\x04\x01\x0a\x00", 6))
        .append(char(frame.transparent))
        .append('\0');
    file.append(',');
    for (const int v : {0, 0, width, height})
        word(v);
    file.append('\0').append(char(frame.codeBits));
    file.append(reinterpret_cast<const char*>(frame.blocks.data()), qsizetype(frame.blocks.size()));
    file.append('\0').append(';');
    const test::SmallScreenGif read = test::readAsSmallScreen(file);
    ASSERT_TRUE(read.refusal.isEmpty()) << read.refusal.toStdString();
    EXPECT_EQ(read.frames.front().pixel(width - 1, height - 1), qRgb(255, 255, 255))
        << "every pixel lets the screen below show";
}
