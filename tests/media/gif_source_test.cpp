#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;
using tovi::test::buildGif;
using tovi::test::GifFrameSpec;
using tovi::test::solidFrame;

namespace {

const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255),
           white = qRgb(255, 255, 255);
const std::vector<QRgb> palette{red, green, blue, white};

std::unique_ptr<ImageSource> open(const QByteArray& gif) {
    auto source = ImageSource::fromData(gif);
    if (!source)
        throw std::runtime_error("not recognised");
    return source;
}

} // namespace

// A 20 × 20 white background, then a 10 × 10 red square at (5, 5) with the given disposal,
// then a 4 × 4 green square at (0, 0) drawn with transparency elsewhere.
class GifDisposal : public ::testing::TestWithParam<int> {};

TEST_P(GifDisposal, SecondFrameSeesWhatTheFirstLeftBehind) {
    GifFrameSpec background = solidFrame({0, 0, 20, 20}, 3);
    GifFrameSpec square = solidFrame({5, 5, 10, 10}, 0);
    square.disposal = GetParam();
    GifFrameSpec corner = solidFrame({0, 0, 4, 4}, 1);
    corner.transparent = 2;
    corner.pixels[15] = 2; // bottom-right pixel of the corner is transparent
    auto source = open(buildGif({20, 20}, palette, {background, square, corner}));
    ASSERT_EQ(source->frameCount(), 3);

    const QImage second = source->frame(1);
    EXPECT_EQ(second.pixel(10, 10), red);
    EXPECT_EQ(second.pixel(0, 19), white);

    const QImage third = source->frame(2);
    EXPECT_EQ(third.pixel(1, 1), green);
    EXPECT_EQ(third.pixel(3, 3), white) << "transparent index must show the canvas beneath";
    const QRgb middle = third.pixel(10, 10);
    switch (GetParam()) {
    case 0:
    case 1:
        EXPECT_EQ(middle, red);
        break;
    case 2: // cleared to transparent, not to the background colour
        EXPECT_EQ(qAlpha(middle), 0);
        EXPECT_EQ(third.format(), QImage::Format_ARGB32_Premultiplied);
        break;
    case 3:
        EXPECT_EQ(middle, white);
        break;
    }
    // Going back decodes again from the start and gives the same picture.
    EXPECT_EQ(source->frame(0).pixel(10, 10), white);
    EXPECT_EQ(source->frame(2), third);
}

INSTANTIATE_TEST_SUITE_P(Modes, GifDisposal, ::testing::Values(0, 1, 2, 3));

TEST(GifSource, DecodesInterlacedFramesAndLocalPalettes) {
    GifFrameSpec stripes;
    stripes.rect = {0, 0, 3, 16};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 3; ++x)
            stripes.pixels.push_back(static_cast<unsigned char>(y % 3));
    stripes.interlaced = true;
    stripes.localPalette = {blue, red, green, white}; // local table overrides the global one
    auto source = open(buildGif({3, 16}, palette, {stripes}));
    const QImage image = source->frame(0);
    ASSERT_EQ(image.size(), QSize(3, 16));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(image.pixel(1, y), (std::array{blue, red, green})[y % 3]) << "row " << y;
}

TEST(GifSource, DelaysFollowTheFileWithAFloorAndADefault) {
    GifFrameSpec a = solidFrame({0, 0, 4, 4}, 0, 1); // 0.01 s counts 0.02 s
    GifFrameSpec b = solidFrame({0, 0, 4, 4}, 1, 50);
    GifFrameSpec c = solidFrame({0, 0, 4, 4}, 2);
    c.control = false; // no graphic control extension at all: 0.1 s
    GifFrameSpec d = solidFrame({0, 0, 4, 4}, 3, 0);
    auto source = open(buildGif({4, 4}, palette, {a, b, c, d}));
    EXPECT_DOUBLE_EQ(MediaProcessor::delay(*source, 0), 0.02);
    EXPECT_DOUBLE_EQ(MediaProcessor::delay(*source, 1), 0.5);
    EXPECT_DOUBLE_EQ(MediaProcessor::delay(*source, 2), 0.1);
    EXPECT_DOUBLE_EQ(MediaProcessor::delay(*source, 3), 0.02);

    // Cumulative ends: 0.02, 0.52, 0.62, 0.64.
    EXPECT_EQ(MediaProcessor::gifIndex(*source, 0), 0);
    EXPECT_EQ(MediaProcessor::gifIndex(*source, 0.02), 1) << "the end of a frame shows the next";
    EXPECT_EQ(MediaProcessor::gifIndex(*source, 0.6), 2);
    EXPECT_EQ(MediaProcessor::gifIndex(*source, 99), 3);
}

TEST(GifSource, InspectsDurationAndKind) {
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        tovi::test::writeFile(dir.filePath(name), bytes);
        return QUrl::fromLocalFile(dir.filePath(name));
    };
    const MediaInfo two = MediaProcessor::inspect(write(
        "two.gif", buildGif({8, 6}, palette,
                            {solidFrame({0, 0, 8, 6}, 0, 1), solidFrame({0, 0, 8, 6}, 1, 50)})));
    EXPECT_TRUE(two.animated);
    EXPECT_FALSE(two.video);
    EXPECT_NEAR(two.duration, 0.52, 1e-9);
    EXPECT_EQ(two.frame.size(), QSize(8, 6));

    const MediaInfo single = MediaProcessor::inspect(
        write("one.gif", buildGif({8, 6}, palette, {solidFrame({0, 0, 8, 6}, 2)})));
    EXPECT_FALSE(single.animated);
    EXPECT_EQ(single.duration, 0);
    EXPECT_EQ(single.frame.pixel(0, 0), blue);

    // sourceFrame picks the frame showing at a time, and a still ignores the time.
    EXPECT_EQ(MediaProcessor::sourceFrame(two, 0.3).pixel(0, 0), green);
    EXPECT_EQ(MediaProcessor::sourceFrame(two, 0.01).pixel(0, 0), red);
    EXPECT_EQ(MediaProcessor::sourceFrame(single, 5).pixel(0, 0), blue);
}

TEST(GifSource, TruncatedFileKeepsCompleteFrames) {
    const QByteArray whole = buildGif({16, 16}, palette,
                                      {solidFrame({0, 0, 16, 16}, 0), solidFrame({0, 0, 16, 16}, 1),
                                       solidFrame({0, 0, 16, 16}, 2)});
    // Cut inside the last frame: the two complete frames remain, as browsers show them.
    auto partial = open(whole.left(whole.size() - 6));
    EXPECT_EQ(partial->frameCount(), 2);
    EXPECT_EQ(partial->frame(1).pixel(0, 0), green);
    EXPECT_EQ(open(whole.left(whole.size() - 2))->frameCount(), 2)
        << "the last frame's empty sub-block is missing";

    // Cut inside the first frame, or in the header: nothing to show.
    for (qsizetype length : {qsizetype(40), qsizetype(20), qsizetype(8)})
        EXPECT_THROW(ImageSource::fromData(whole.left(length)), MediaError) << length;
}

TEST(GifSource, BoundsLargeCanvasesTo2000Pixels) {
    auto source = open(buildGif({3000, 30}, palette, {solidFrame({0, 0, 3000, 30}, 2)}));
    EXPECT_EQ(source->size(), QSize(3000, 30));
    EXPECT_EQ(MediaProcessor::frame(*source, 0).size(), QSize(2000, 20));
}
