#include "media/gif_rate_control.h"
#include "media/gif_writer.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"
#include "support/gif_summary.h"

#include <gif_lib.h>

#include <QPainter>
#include <QRandomGenerator>
#include <cmath>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <numeric>
#include <set>

using namespace tovi;
using test::GifSummary;
using test::noise;
using test::summarize;

namespace {

QImage flat(QSize size, const QColor& color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A sky-like picture: hue across, brightness down, all smooth; `lift` levels brighter.
QImage gradient(QSize size, int lift = 0) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                           qRgb(lift + 40 + 150 * x / size.width(),
                                lift + 90 + 120 * y / size.height(),
                                std::min(255, lift + 230 - 60 * x / size.width())));
    return image;
}

// An out-of-focus photograph: soft blobs of colour over a gradient, with sensor noise.
QImage softPicture(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const double w = size.width(), h = size.height();
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            double r = 60 + 80 * y / h, g = 110 + 60 * x / w, b = 70;
            auto blob = [&](double cx, double cy, double radius, double dr, double dg, double db) {
                const double dx = x - cx * w, dy = y - cy * h;
                const double k = std::exp(-(dx * dx + dy * dy) / (radius * radius * w * h));
                r += dr * k;
                g += dg * k;
                b += db * k;
            };
            blob(0.3, 0.3, 0.2, 120, 40, -30);
            blob(0.7, 0.6, 0.25, -40, -60, 150);
            blob(0.5, 0.9, 0.15, 90, 90, 60);
            auto channel = [&](double v) {
                return std::clamp(static_cast<int>(std::lround(v)) + random.bounded(-4, 5), 0, 255);
            };
            image.setPixel(x, y, qRgb(channel(r), channel(g), channel(b)));
        }
    return image;
}

QImage decodedFrame(const QByteArray& gif, int index) {
    auto source = ImageSource::fromData(gif);
    if (!source)
        throw std::runtime_error("not recognised as an image");
    return source->frame(index).convertToFormat(QImage::Format_RGB32);
}

struct Difference {
    double mean = 0;
    int max = 0;
};

Difference compare(const QImage& a, const QImage& b) {
    Difference d;
    long long sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int channel : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += std::abs(channel);
                d.max = std::max(d.max, std::abs(channel));
            }
        }
    d.mean = static_cast<double>(sum) / (3.0 * a.width() * a.height());
    return d;
}

std::vector<int> delaysFor(const std::vector<double>& seconds) {
    const QSize size(8, 8);
    std::vector<QImage> frames;
    for (size_t i = 0; i < seconds.size(); ++i)
        frames.push_back(flat(size, qRgb(int(i * 37 % 256), 80, 160))); // distinct neighbours
    return summarize(encodeGif(frames, seconds)).delays();
}

int total(const std::vector<int>& delays) {
    return std::accumulate(delays.begin(), delays.end(), 0);
}

} // namespace

TEST(GifWriter, WritesLoopingFullOpaqueFramesWithTheFirstPaletteGlobal) {
    const QSize size(240, 240);
    GifWriter writer(size);
    writer.add(flat(size, qRgb(200, 30, 60)), 0.5);
    writer.add(gradient(size), 0.5);
    writer.add(noise(size, 7), 0.5);
    QImage threeColours = flat(size, Qt::white);
    QPainter(&threeColours).fillRect(0, 0, 80, 240, Qt::black);
    QPainter(&threeColours).fillRect(80, 0, 80, 240, QColor(0, 128, 255));
    writer.add(threeColours, 0.5);
    EXPECT_EQ(writer.frameCount(), 4);
    const GifSummary gif = summarize(writer.finish());

    EXPECT_EQ(gif.version, "GIF89a");
    EXPECT_EQ(gif.screen, size);
    EXPECT_EQ(gif.globalPaletteSize, 2) << "one colour, padded to the smallest palette";
    EXPECT_EQ(gif.loopBlocks, 1);
    EXPECT_EQ(gif.loopCount, 0);
    ASSERT_EQ(gif.frames.size(), 4u);
    for (const auto& frame : gif.frames) {
        EXPECT_EQ(frame.rect, QRect(QPoint(0, 0), size));
        EXPECT_FALSE(frame.interlaced);
        EXPECT_EQ(frame.transparent, NO_TRANSPARENT_COLOR);
        EXPECT_TRUE(frame.disposal == DISPOSE_DO_NOT || frame.disposal == DISPOSAL_UNSPECIFIED);
    }
    EXPECT_EQ(gif.frames[0].paletteSize, 0) << "the global one is its palette";
    EXPECT_EQ(gif.frames[2].paletteSize, 256);
    EXPECT_EQ(gif.frames[3].paletteSize, 4);
}

TEST(GifWriter, DelaysFollowTheRunningTimeInWholeCentiseconds) {
    // 96 frames of 1/12 s: each alone would round to 8 cs and lose 0.32 s per loop.
    const auto clip = delaysFor(std::vector<double>(96, 1.0 / 12));
    EXPECT_EQ(total(clip), 800);
    EXPECT_EQ(std::vector<int>(clip.begin(), clip.begin() + 6),
              (std::vector<int>{8, 9, 8, 8, 9, 8}));

    // One 4-second turn in 48 frames.
    const auto turn = delaysFor(std::vector<double>(48, 4.0 / 48));
    EXPECT_EQ(total(turn), 400);
    for (size_t i = 0; i < turn.size(); ++i)
        EXPECT_EQ(turn[i], (std::vector<int>{8, 9, 8})[i % 3]) << "frame " << i;

    // Halves round away from zero: 62.5 cs and 187.5 cs into a 2.5-second turn of 8 frames.
    EXPECT_EQ(delaysFor(std::vector<double>(8, 2.5 / 8)),
              (std::vector<int>{31, 32, 31, 31, 31, 32, 31, 31}));

    // A card: a short first frame, twelve steps and the longest hold a GIF can store.
    std::vector<double> card{0.02};
    card.insert(card.end(), 12, 0.1);
    card.push_back(655.35);
    std::vector<int> expected{2};
    expected.insert(expected.end(), 12, 10);
    expected.push_back(65535);
    EXPECT_EQ(delaysFor(card), expected);

    EXPECT_EQ(delaysFor({700, 0.5}), (std::vector<int>{65535, 50})) << "clamped, not wrapped";
    EXPECT_EQ(delaysFor({-1, std::nan(""), 0.25}), (std::vector<int>{0, 0, 25}));
}

TEST(GifWriter, FramesComeBackCloseToWhatWasGiven) {
    const QSize size(240, 240);
    const QImage first = flat(size, qRgb(17, 130, 201));
    const QImage sky = gradient(size);
    const QImage detail = noise(size, 3);
    const QByteArray gif = encodeGif({first, sky, detail, detail, first}, {0.1, 0.1, 0.1, 0.1, 1});

    EXPECT_EQ(compare(decodedFrame(gif, 0), first).max, 0) << "a flat colour is exact";
    EXPECT_EQ(compare(decodedFrame(gif, 4), first).max, 0);
    EXPECT_EQ(decodedFrame(gif, 3), decodedFrame(gif, 2)) << "a held frame stays the same";

    const Difference smooth = compare(decodedFrame(gif, 1), sky);
    EXPECT_LT(smooth.mean, 3.5);
    EXPECT_LE(smooth.max, 14);

    // Drawn pictures keep their pure colours, however many blends their edges add.
    QImage drawn = flat(size, Qt::black);
    {
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 6; ++i) {
            painter.setBrush(QColor::fromHsv(60 * i, 200, 250));
            painter.drawEllipse(QPointF(40 + 32 * i, 60), 21.5, 21.5);
        }
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(120, 170), 50.5, 40.5);
    }
    const QImage drawnBack = decodedFrame(encodeGif({drawn}, {1}), 0);
    EXPECT_EQ(drawnBack.pixel(4, 4), qRgb(0, 0, 0));
    EXPECT_EQ(drawnBack.pixel(235, 235), qRgb(0, 0, 0));
    EXPECT_EQ(drawnBack.pixel(120, 170), qRgb(255, 255, 255));

    // Random colours cannot fit 256 entries, and busy areas may trade some accuracy for size,
    // but only so much: no pixel drifts far.
    const Difference busy = compare(decodedFrame(gif, 2), detail);
    EXPECT_LT(busy.mean, 16);
    EXPECT_LE(busy.max, 64);
}

// A square of noise moving over a sky that brightens by two levels a frame.
std::vector<QImage> movingSquare(QSize size, int count) {
    std::vector<QImage> frames;
    for (quint32 i = 0; i < quint32(count); ++i) {
        QImage frame = gradient(size, 2 * int(i));
        QPainter(&frame).drawImage(QRect(10 * int(i), 10, 40, 40), noise({40, 40}, i));
        frames.push_back(frame);
    }
    return frames;
}

QByteArray encodeClip(const std::vector<QImage>& frames, qint64 room = 1 << 20) {
    GifWriter writer(frames.front().size(), {room, int(frames.size())});
    for (const QImage& frame : frames)
        writer.add(frame, 0.1);
    return writer.finish();
}

TEST(GifWriter, OutputDependsOnlyOnTheFramesNotOnTheirFormatOrScheduling) {
    const std::vector<QImage> frames = movingSquare({120, 90}, 6);
    const std::vector<double> delays(frames.size(), 0.1);
    const QByteArray reference = encodeGif(frames, delays);
    EXPECT_EQ(encodeGif(frames, delays), reference);
    const QByteArray clip = encodeClip(frames);
    EXPECT_EQ(encodeClip(frames), clip) << "frames coded over each other, and the rate control";

    std::vector<QImage> converted;
    for (size_t i = 0; i < frames.size(); ++i)
        converted.push_back(frames[i].convertToFormat(i % 2 ? QImage::Format_RGB888
                                                            : QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(encodeGif(converted, delays), reference);
    EXPECT_EQ(encodeClip(converted), clip);
}

// A clip's frames after the first leave transparent what the frame before shows closely enough:
// decoded over each other they are the pictures, and a picture shown again is left as it is.
TEST(GifWriter, AClipShowsEachFrameOverTheOneBefore) {
    std::vector<QImage> frames = movingSquare({120, 90}, 12);
    const QByteArray clip = encodeClip(frames);
    const GifSummary summary = summarize(clip);
    ASSERT_EQ(summary.frames.size(), frames.size());
    EXPECT_EQ(summary.frames[0].transparent, NO_TRANSPARENT_COLOR);
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(summary.frames[i].transparent, 0) << "frame " << i;
        }
        EXPECT_EQ(summary.frames[i].disposal, DISPOSE_DO_NOT);
        // The square's noise cannot fit the palette; a trail left behind, or a sky left as it
        // was, would show in the mean.
        EXPECT_LT(compare(decodedFrame(clip, int(i)), frames[i]).mean, 5) << "frame " << i;
    }
    frames.push_back(frames.back());
    const GifSummary::Frame repeated = summarize(encodeClip(frames)).frames.back();
    EXPECT_EQ(std::count(repeated.indices.begin(), repeated.indices.end(), repeated.transparent),
              120 * 90)
        << "a picture shown again is left as it is";
}

// libimagequant's OpenMP regions run on the writer's own threads: the process binds its calls to
// the writer's entry point, not to libgomp's, which would start a team for every region.
TEST(GifWriter, LibimagequantRunsOnTheCallingThread) {
    Dl_info where{};
    ASSERT_NE(dladdr(dlsym(RTLD_DEFAULT, "GOMP_parallel"), &where), 0);
    EXPECT_FALSE(QString::fromLocal8Bit(where.dli_fname).contains(QStringLiteral("libgomp")))
        << where.dli_fname;
}

TEST(GifWriter, RefusesWhatItCannotWrite) {
    auto failsToEncode = [](const std::function<void()>& step) {
        return test::kindThrown<MediaError>(step) == MediaError::encode;
    };
    EXPECT_TRUE(failsToEncode([] { GifWriter writer(QSize(0, 240)); }));
    EXPECT_TRUE(failsToEncode([] { GifWriter writer(QSize(70000, 1)); }));
    EXPECT_TRUE(failsToEncode([] { GifWriter(QSize(8, 8)).finish(); })) << "no frames";
    EXPECT_TRUE(failsToEncode([] { encodeGif({flat({8, 8}, Qt::red)}, {}); }));

    GifWriter writer(QSize(8, 8));
    EXPECT_TRUE(failsToEncode([&] { writer.add(flat({8, 9}, Qt::red), 0.1); }));
    EXPECT_TRUE(failsToEncode([&] { writer.add(QImage(), 0.1); }));
    writer.add(flat({8, 8}, Qt::red), 0.1);
    EXPECT_EQ(summarize(writer.finish()).frames.size(), 1u) << "a refused frame leaves no trace";
    EXPECT_THROW(writer.add(flat({8, 8}, Qt::red), 0.1), std::logic_error);

    // Dropping a writer half-way through is how a caller gives up; it must not hang or leak.
    auto abandoned = std::make_unique<GifWriter>(QSize(240, 240));
    for (quint32 i = 0; i < 5; ++i)
        abandoned->add(noise({240, 240}, i), 0.1);
    abandoned.reset();
    // Also while quick frames wait for the palette of a frame still being encoded.
    abandoned = std::make_unique<GifWriter>(QSize(240, 240));
    abandoned->add(noise({240, 240}, 9), 0.1);
    for (quint32 i = 0; i < 3; ++i)
        abandoned->add(noise({240, 240}, i), 0.1, GifEffort::quick);
    abandoned.reset();
}

// The size budget of a whole export rests on this: noise in smooth areas must not cost what
// detail costs. Exact colours take about 32 KB for this picture; choosing LZW-friendly ones within
// tolerance takes about 20 KB. A coder that lost step with giflib's dictionary, or stopped
// choosing, would land well above the bound.
TEST(GifWriter, NoiseInSmoothAreasCostsLittle) {
    const QImage picture = softPicture({240, 240}, 1);
    const QByteArray gif = encodeGif({picture}, {1});
    EXPECT_LT(gif.size(), 25000);
    const Difference difference = compare(decodedFrame(gif, 0), picture);
    EXPECT_LT(difference.mean, 4);
    EXPECT_LE(difference.max, 24);
}

// A drawn picture of a few colours comes back exactly where it is flat: every pixel finds its
// exact nearest colour, however far in the palette it lies from the pixel before (dark stripes
// after bright ones search down to the darkest colours).
TEST(GifWriter, FlatColoursOfADrawingStayExact) {
    QImage drawing(192, 16, QImage::Format_RGB32);
    for (int x = 0; x < drawing.width(); ++x) {
        const int stripe = x / 6, k = stripe / 2;
        const int level = stripe % 2 ? 4 * k : 160 + 6 * k;
        for (int y = 0; y < drawing.height(); ++y)
            drawing.setPixel(x, y, qRgb(level, level, level));
    }
    const QImage shown = decodedFrame(encodeGif({drawing}, {1}), 0);
    for (int x = 2; x < drawing.width(); x += 6)
        for (int y = 0; y < drawing.height(); ++y) {
            ASSERT_EQ(shown.pixel(x, y), drawing.pixel(x, y)) << x << ", " << y;
            ASSERT_EQ(shown.pixel(x + 1, y), drawing.pixel(x + 1, y)) << x + 1 << ", " << y;
        }
}

// A drawing moving a pixel a frame: its antialiased edges hold far more blends than a palette,
// a new set every frame, and the clip leaves most of its room. Such a clip is coded ever finer,
// its palettes from every changed pixel and its colours found exactly: the edges keep to a level
// or two, where the coarse coding of a clip short of room blurs them by tens.
TEST(GifWriter, AClipWithRoomToSpareKeepsADrawingsEdges) {
    const QSize size(240, 240);
    std::vector<QImage> frames;
    for (int i = 0; i < 16; ++i) {
        QImage drawn = flat(size, qRgb(250, 244, 228));
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 2.5));
        for (int k = 0; k < 8; ++k) {
            painter.setBrush(QColor::fromHsv(45 * k, 180, 240));
            painter.drawEllipse(QPointF(30 + 26 * k + 0.7 * i, 50 + 18 * (k % 4) + 0.4 * i), 17.3,
                                13.1);
        }
        painter.end();
        frames.push_back(drawn);
    }
    const QByteArray clip = encodeClip(frames, 2 << 20);
    // The factor two frames before is fine enough from the eighth frame on.
    for (int i = 8; i < int(frames.size()); ++i) {
        const Difference d = compare(decodedFrame(clip, i), frames[size_t(i)]);
        EXPECT_LT(d.mean, 0.05) << "frame " << i;
        EXPECT_LE(d.max, 12) << "frame " << i;
    }
}

// A still picture of 400 flat colours, more than a palette holds, under a dot that moves: what
// the first frame shows of it only nearly, the frames over it set right, each taking into its
// palette what the picture on screen shows worst.
TEST(GifWriter, AClipWithRoomToSpareRefinesThePictureOnScreen) {
    const QSize size(240, 240);
    QImage still(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int block = (y / 12) * 20 + x / 12;
            still.setPixel(x, y, qRgb(block % 20 * 12, block / 20 * 12, (block * 37) % 256));
        }
    std::vector<QImage> frames;
    for (int i = 0; i < 16; ++i) {
        QImage frame = still;
        QPainter(&frame).fillRect(8 * i, 4, 6, 6, Qt::white);
        frames.push_back(frame);
    }
    const QByteArray clip = encodeClip(frames, 2 << 20);
    const double first = compare(decodedFrame(clip, 0), frames[0]).mean;
    const double last = compare(decodedFrame(clip, 15), frames[15]).mean;
    EXPECT_LT(last, 0.1 * first) << "first " << first << ", last " << last;
}

// Flat stripes between noisy ones, in a picture of its own and along a clip whose noise changes:
// dithering, or strings of the noise running on in colours near the flat one, would leave a flat
// stripe noisy. Each frame keeps a flat colour on one index, and shows it exactly, wherever the
// picture is flat for two pixels around (a stripe's edges may blend with the noise).
TEST(GifWriter, AFlatColourStaysOneIndex) {
    const QSize size(99, 61); // rows and frames that eight-pixel steps do not fill
    const QRgb grey = qRgb(128, 121, 114);
    const auto striped = [&](quint32 seed) {
        QImage image = noise(size, seed);
        QPainter painter(&image);
        for (int x = 8; x < size.width(); x += 16)
            painter.fillRect(x, 0, 8, size.height(), QColor(grey));
        return image;
    };
    for (const GifClip clip : {GifClip{}, GifClip{1 << 20, 4}}) {
        GifWriter writer(size, clip);
        for (quint32 seed = 0; seed < 4; ++seed)
            writer.add(striped(seed), 0.1);
        const QByteArray gif = writer.finish();
        const auto frames = summarize(gif).frames;
        ASSERT_EQ(frames.size(), 4u);
        for (size_t f = 0; f < frames.size(); ++f) {
            std::set<int> flat;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 8; x < size.width(); x += 16)
                    for (int dx = 2; dx < 6; ++dx)
                        flat.insert(frames[f].indices[size_t(y * size.width() + x + dx)]);
            EXPECT_EQ(flat.size(), 1u) << "frame " << f << (clip.bytes ? " of a clip" : "");
            EXPECT_EQ(decodedFrame(gif, int(f)).pixel(10, 10), grey) << "frame " << f;
        }
    }
}

TEST(GifWriter, FadesAreThePictureWithADarkerPalette) {
    const QImage picture = softPicture({96, 72}, 7);
    GifWriter writer(picture.size());
    writer.add(picture, 0.1);
    writer.addFaded(picture, 0.5, 0.1);
    writer.addFaded(picture, 0, 0.1);
    writer.addFaded(picture, 2, 0.1); // clamped: the picture itself
    writer.add(picture, 1);
    const QImage other = gradient(picture.size());
    writer.addFaded(other, 0.25, 0.1); // never added at full strength
    const QByteArray gif = writer.finish();

    const GifSummary summary = summarize(gif);
    ASSERT_EQ(summary.frames.size(), 6u);
    EXPECT_EQ(summary.delays(), (std::vector<int>{10, 10, 10, 10, 100, 10}));
    for (const auto& frame : summary.frames) {
        EXPECT_EQ(frame.rect, QRect(QPoint(0, 0), picture.size()));
    }
    // The first palette is the global one: the picture again needs no table of its own.
    EXPECT_GT(summary.globalPaletteSize, 0);
    for (size_t f : {0, 3, 4})
        EXPECT_EQ(summary.frames[f].paletteSize, 0) << "frame " << f;
    for (size_t f : {1, 2})
        EXPECT_EQ(summary.frames[f].paletteSize, summary.globalPaletteSize) << "frame " << f;
    EXPECT_GT(summary.frames[5].paletteSize, 0);

    const QImage full = decodedFrame(gif, 0);
    const auto scaled = [](const QImage& image, double opacity) {
        QImage out = image.copy();
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) {
                const QRgb p = out.pixel(x, y);
                const auto c = [&](int v) { return int(std::lround(v * opacity)); };
                out.setPixel(x, y, qRgb(c(qRed(p)), c(qGreen(p)), c(qBlue(p))));
            }
        return out;
    };
    EXPECT_EQ(compare(decodedFrame(gif, 1), scaled(full, 0.5)).max, 0);
    EXPECT_EQ(compare(decodedFrame(gif, 2), flat(picture.size(), Qt::black)).max, 0);
    EXPECT_EQ(decodedFrame(gif, 3), full);
    EXPECT_EQ(decodedFrame(gif, 4), full);
    EXPECT_LT(compare(decodedFrame(gif, 5), scaled(other, 0.25)).mean, 1.0);
}

TEST(GifWriter, QuickFramesStayCloseToTheirPictures) {
    // A picture turned over black, as a card's spin draws it: quick frames start from the last
    // full frame's palette, which has no black, and must still come out black in the corners.
    const QImage key = softPicture({96, 72}, 3);
    QImage turned(key.size(), QImage::Format_RGB32);
    turned.fill(Qt::black);
    {
        QPainter painter(&turned);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(48, 36);
        painter.rotate(30);
        painter.drawImage(QPointF(-48, -36), key);
    }
    const QImage flipped = turned.mirrored();
    GifWriter writer(key.size());
    writer.add(turned, 0.1, GifEffort::quick); // nothing before it: a palette of its own
    writer.add(key, 0.1);
    for (int i = 0; i < 4; ++i) // several at once, so that workers wait for the palette
        writer.add(i % 2 ? turned : flipped, 0.1, GifEffort::quick);
    const QByteArray gif = writer.finish();
    ASSERT_EQ(summarize(gif).frames.size(), 6u);

    const std::vector<const QImage*> expected{&turned, &key, &flipped, &turned, &flipped, &turned};
    for (int i = 0; i < 6; ++i) {
        const QImage shown = decodedFrame(gif, i);
        EXPECT_LT(compare(shown, *expected[size_t(i)]).mean, 4.0) << "frame " << i;
        if (i != 1) {
            EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 0, 0)) << "frame " << i;
        }
    }
}

// The factor scales a clip frame's tolerance: above 1 codes coarser. A clip heading over its room
// must be coded coarser, never finer, and one with room to spare finer, in bounded steps.
TEST(GifRateControl, SteersTheProjectedSizeIntoItsAim) {
    using gif::nextFactor;
    const qint64 room = 1'000'000;
    // 40 frames spent 400 kB, 10 kB a frame lately: 60 more project to 1 MB, just over the aim.
    const float over = nextFactor(2, 400'000, 10'000, 60, room);
    EXPECT_NEAR(over, 2 * std::pow(1'000'000 / (gif::kAimHigh * room), gif::kFactorResponse), 1e-4);
    EXPECT_GT(over, 2.0f);
    EXPECT_FLOAT_EQ(nextFactor(2, 400'000, 20'000, 60, room), float(2 * gif::kFactorStep))
        << "far over: at most one step coarser";
    EXPECT_FLOAT_EQ(nextFactor(2, 400'000, 8'000, 60, room), 2) << "880 kB is within the aim";
    EXPECT_FLOAT_EQ(nextFactor(2, 100'000, 8'000, 60, room), float(2 / gif::kFactorStep))
        << "580 kB, under the aim: one step finer";
    EXPECT_FLOAT_EQ(nextFactor(2, 100'000, 1'000, 60, room), float(2 / gif::kFastFactorStep))
        << "160 kB, a drawing's few bytes: finer at once";
    EXPECT_FLOAT_EQ(nextFactor(9.5f, 900'000, 100'000, 10, room), gif::kMaxFactor);
    EXPECT_FLOAT_EQ(nextFactor(0.012f, 0, 0, 10, room), gif::kMinFactor);
    // The last frame still counts one frame ahead: 800 kB + 100 kB is within the aim.
    EXPECT_FLOAT_EQ(nextFactor(3, 800'000, 100'000, 0, room), 3);
    EXPECT_DOUBLE_EQ(gif::recentBytes(1000, 2000), 1250);
}
