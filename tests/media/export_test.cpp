#include "app/tovi_error.h"
#include "media/fit_suggestions.h"
#include "media/fragment_sampler.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/rotation_plan.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"
#include "support/gif_summary.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gif_lib.h>
#include <gtest/gtest.h>

using namespace tovi;
using test::summarize;

namespace {

class Export : public ::testing::Test {
protected:
    QTemporaryDir dir;

    // An animated GIF of `count` frames lasting `centiseconds` each; frame i is grey level i.
    QUrl animation(const char* name, int count, int centiseconds, QSize size = {32, 32}) {
        std::vector<QRgb> palette;
        std::vector<test::GifFrameSpec> frames;
        for (int i = 0; i < count; ++i) {
            palette.push_back(qRgb(i % 256, i % 256, i % 256));
            frames.push_back(test::solidFrame(QRect(QPoint(), size),
                                              static_cast<unsigned char>(i % 256), centiseconds));
        }
        palette.resize(256);
        return write(name, test::buildGif(size, palette, frames));
    }

    QUrl write(const char* name, const QByteArray& bytes) {
        test::writeFile(dir.filePath(QString::fromUtf8(name)), bytes);
        return QUrl::fromLocalFile(dir.filePath(QString::fromUtf8(name)));
    }

    QUrl photo() {
        QImage image(300, 200, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QPainter(&image).fillRect(140, 0, 20, 40, Qt::red); // a mark at the top centre
        image.save(dir.filePath(QStringLiteral("photo.png")));
        return QUrl::fromLocalFile(dir.filePath(QStringLiteral("photo.png")));
    }

    static ExportOptions gif(double start, double length, int fps) {
        ExportOptions options;
        options.format = OutputFormat::gif;
        options.start = start;
        options.length = length;
        options.fps = fps;
        return options;
    }

    // What a decoder sees of the export.
    static test::GifSummary exported(const QUrl& url, const ExportOptions& options) {
        return summarize(MediaProcessor::exportMedia(url, options));
    }

    static std::optional<int> failure(const QUrl& url, const ExportOptions& options) {
        return test::kindThrown<MediaError>([&] { MediaProcessor::exportMedia(url, options); });
    }
};

// Every frame covers the screen; the first is opaque, and the others are drawn over it.
void expectDeviceReady(const test::GifSummary& summary) {
    EXPECT_EQ(summary.screen, QSize(240, 240));
    EXPECT_EQ(summary.loopCount, 0);
    ASSERT_FALSE(summary.frames.empty());
    EXPECT_EQ(summary.frames.front().transparent, -1);
    EXPECT_GT(summary.globalPaletteSize, 0) << "small firmware insists on a global table";
    EXPECT_EQ(summary.frames.front().paletteSize, 0) << "the first frame's palette is global";
    for (const auto& frame : summary.frames) {
        EXPECT_EQ(frame.rect, QRect(0, 0, 240, 240));
        EXPECT_EQ(frame.disposal, DISPOSE_DO_NOT);
    }
}

} // namespace

TEST_F(Export, SampledGifTakesAtMostEightSecondsAtTwelveFrames) {
    const QUrl ten = animation("ten.gif", 100, 10); // 10 s
    const auto full = exported(ten, gif(0, 10, 12));
    ASSERT_EQ(full.frames.size(), 96u);
    EXPECT_EQ(full.totalDelay(), 800) << "96 frames of 1/12 s last exactly 8 s";
    expectDeviceReady(full);

    EXPECT_EQ(exported(ten, gif(0, 4, 30)).frames.size(), 48u);
    const auto slow = exported(ten, gif(0, 4, 0));
    EXPECT_EQ(slow.delays(), (std::vector<int>{100, 100, 100, 100}));
    EXPECT_EQ(exported(ten, gif(0, 4, -3)).frames.size(), 4u);
}

TEST_F(Export, TheLastFrameIsShortenedToTheFragment) {
    // 2 s of source from 1.5 s: L = 0.5 s, six frames, the last 0.5 − 5/12 s.
    const auto tail = exported(animation("two.gif", 20, 10), gif(1.5, 4, 12));
    ASSERT_EQ(tail.frames.size(), 6u);
    EXPECT_EQ(tail.totalDelay(), 50);
    EXPECT_EQ(tail.frames.back().delay, 8);

    // 2.55 s at 12 fps: 31 frames, 255 cs in all.
    const auto odd = exported(animation("odd.gif", 51, 5), gif(0, 8, 12));
    ASSERT_EQ(odd.frames.size(), 31u);
    EXPECT_EQ(odd.totalDelay(), 255);
    EXPECT_EQ(odd.frames.back().delay, 5);

    // 0.251 s: a fourth frame from 0.25 s would carry no whole centisecond, so there is none.
    const auto even = exported(animation("ten.gif", 10, 10), gif(0, 0.251, 12));
    EXPECT_EQ(even.delays(), (std::vector<int>{8, 9, 8}));
}

TEST_F(Export, FramesFollowTheSourceInOrder) {
    // Frame i of the source is grey level i and lasts 0.1 s; at 5 fps every other one is taken.
    const QByteArray bytes =
        MediaProcessor::exportMedia(animation("grey.gif", 40, 10), gif(1.0, 2, 5));
    auto decoded = ImageSource::fromData(bytes);
    ASSERT_EQ(decoded->frameCount(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_NEAR(qRed(decoded->frame(i).pixel(120, 120)), 10 + 2 * i, 1) << i;
}

// Backwards, forwards and back, and at another speed: the same source frames in the plan's
// order, each shown for its share of the source over the speed, rounded on the running time.
TEST(FragmentPlan, OrderAndSpeedChangeTheLoopNotTheSource) {
    const MediaInfo media{{}, {}, 20, true, false};
    ExportOptions options;
    options.format = OutputFormat::gif;
    for (PlaybackOrder order : allPlaybackOrders)
        for (double speed : playbackSpeeds)
            for (double length = 0.02; length < 8.5; length += 0.0731) {
                options.order = order;
                options.speed = speed;
                options.length = length;
                const FragmentPlan plan = FragmentPlan::of(media, options);
                const int n = plan.count;
                ASSERT_EQ(plan.frames(),
                          order == PlaybackOrder::bounce ? std::max(2 * n - 2, n) : n);
                double total = 0;
                std::vector<int> shown(size_t(n), 0);
                for (int i = 0; i < plan.frames(); ++i) {
                    ASSERT_GE(plan.delay(i), 0.01) << length << " " << speed << " " << i;
                    total += plan.delay(i);
                    ++shown[size_t(plan.source(i))];
                    const int before = (i + plan.frames() - 1) % plan.frames();
                    if (plan.frames() > 1 && (i > 0 || order == PlaybackOrder::bounce)) {
                        ASSERT_NE(plan.source(i), plan.source(before))
                            << "no frame twice in a row, round the loop too";
                    }
                }
                if (order == PlaybackOrder::bounce) {
                    EXPECT_LE(plan.length, 4);
                    EXPECT_EQ(plan.source(n - 1), n - 1);
                    for (int k = 0; k < n; ++k)
                        EXPECT_EQ(shown[size_t(k)], k == 0 || k == n - 1 ? 1 : 2) << k;
                    continue;
                }
                EXPECT_EQ(plan.length, std::min(length, 8.0));
                EXPECT_NEAR(total, plan.length / speed, 0.01) << length << " " << speed;
                for (int i = 0; i < n; ++i)
                    EXPECT_EQ(plan.source(i), order == PlaybackOrder::reverse ? n - 1 - i : i);
            }
    // 8 s at 2 × is 4 s of the same 96 frames; at 0.5 ×, 16 s.
    options.order = PlaybackOrder::normal;
    options.length = 8;
    options.speed = 2;
    EXPECT_EQ(FragmentPlan::of(media, options).frames(), 96);
    options.speed = 0.5;
    const FragmentPlan slow = FragmentPlan::of(media, options);
    EXPECT_EQ(slow.frames(), 96);
    EXPECT_DOUBLE_EQ(slow.delay(0) + slow.delay(1), 0.33) << "17 and 16 cs: 1/3 s for two";
}

// Which source frames of one fragment another samples at the very same times: those of a
// shorter length, every other one at half the rate; none past its end, at another start or a
// time between two of its own.
TEST(FragmentPlan, FindsTheFramesAnotherSamplesAtTheSameTimes) {
    const MediaInfo media{{}, {}, 20, true, false};
    const auto plan = [&](int fps, double length, double start) {
        ExportOptions options;
        options.fps = fps;
        options.length = length;
        options.start = start;
        return FragmentPlan::of(media, options);
    };
    const FragmentPlan held = plan(12, 2, 1.3), shorter = plan(12, 1.5, 1.3),
                       half = plan(6, 2, 1.3), eight = plan(8, 2, 1.3);
    for (int k = 0; k < shorter.count; ++k)
        EXPECT_EQ(held.indexOf(shorter, k), k);
    for (int k = 0; k < half.count; ++k)
        EXPECT_EQ(held.indexOf(half, k), 2 * k);
    EXPECT_EQ(held.indexOf(eight, 2), 3);
    EXPECT_EQ(held.indexOf(eight, 3), -1);
    EXPECT_EQ(held.indexOf(plan(12, 3, 1.3), held.count), -1);
    EXPECT_EQ(held.indexOf(plan(12, 2, 1.4), 0), -1);
}

// The GIF holds the plan's frames in its order for its delays, each source frame decoded once.
TEST_F(Export, ReversedAndBouncingGifsFollowThePlan) {
    // Grey level 10 + 2k is source frame k at 5 fps from 1 s.
    const QUrl grey = animation("grey.gif", 40, 10);
    ExportOptions options = gif(1.0, 2, 5);
    const MediaInfo media = MediaProcessor::inspect(grey);
    for (PlaybackOrder order : {PlaybackOrder::reverse, PlaybackOrder::bounce}) {
        options.order = order;
        options.speed = 1.5;
        const FragmentPlan plan = FragmentPlan::of(media, options);
        int progressTotal = 0;
        const QByteArray bytes = MediaProcessor::exportMedia(media, options, [&](int, int total) {
            progressTotal = total;
            return true;
        });
        EXPECT_EQ(progressTotal, plan.frames());
        auto decoded = ImageSource::fromData(bytes);
        const auto summary = summarize(bytes);
        ASSERT_EQ(decoded->frameCount(), plan.frames());
        for (int i = 0; i < plan.frames(); ++i) {
            EXPECT_NEAR(qRed(decoded->frame(i).pixel(120, 120)), 10 + 2 * plan.source(i), 1) << i;
            EXPECT_EQ(summary.frames[size_t(i)].delay, std::lround(plan.delay(i) * 100)) << i;
        }
    }
}

TEST_F(Export, VideosAreSampledExactly) {
    const QUrl colours = QUrl::fromLocalFile(QStringLiteral(TOVI_FIXTURES "/video/colours.mp4"));
    const QByteArray bytes = MediaProcessor::exportMedia(colours, gif(0, 10, 5));
    const auto summary = summarize(bytes);
    ASSERT_EQ(summary.frames.size(), 10u); // 2 s at 5 fps
    EXPECT_EQ(summary.totalDelay(), 200);
    expectDeviceReady(summary);
    // A new colour every 0.2 s: consecutive exported frames all differ.
    auto decoded = ImageSource::fromData(bytes);
    for (int i = 1; i < 10; ++i)
        EXPECT_NE(decoded->frame(i - 1).pixel(120, 120), decoded->frame(i).pixel(120, 120)) << i;
}

TEST_F(Export, StillsBecomeJpegsOrTurningGifs) {
    const QUrl still = photo();
    EXPECT_EQ(failure(still, gif(0, 4, 12)), MediaError::empty);
    EXPECT_EQ(failure(animation("short.gif", 10, 10), gif(5, 4, 12)), MediaError::empty);
    // 20 × 0.1 s add up to a hair over 2 s: a start at 2 s is the end all the same.
    EXPECT_EQ(failure(animation("two.gif", 20, 10), gif(2, 4, 12)), MediaError::empty);

    ExportOptions jpg;
    const QByteArray jpeg = MediaProcessor::exportMedia(still, jpg);
    ASSERT_TRUE(jpeg.startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(QImage::fromData(jpeg).size(), QSize(240, 240));

    ExportOptions turning = gif(0, 4, 12);
    turning.rotation = true;
    const auto turn = exported(still, turning);
    EXPECT_EQ(turn.frames.size(), 48u);
    EXPECT_EQ(turn.totalDelay(), 400);
    expectDeviceReady(turn);
}

TEST_F(Export, CaptionsAreDrawnOnEveryFrame) {
    const QUrl grey = write("grey.gif", test::buildGif({64, 64}, {qRgb(160, 160, 160), 0},
                                                       {test::solidFrame({0, 0, 64, 64}, 0, 50),
                                                        test::solidFrame({0, 0, 64, 64}, 0, 50)}));
    ExportOptions options = gif(0, 1, 2);
    options.captions = true;
    options.captionTitle = QStringLiteral("Tytuł");
    auto captioned = ImageSource::fromData(MediaProcessor::exportMedia(grey, options));
    ASSERT_EQ(captioned->frameCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const QImage frame = captioned->frame(i);
        EXPECT_NEAR(qRed(frame.pixel(5, 20)), 160, 3) << "above the band nothing changes";
        EXPECT_LT(qRed(frame.pixel(5, 235)), 40) << "the band darkens the bottom";
        int brightest = 0;
        for (int y = 240 - 60; y < 240 - 48; ++y)
            for (int x = 100; x < 140; ++x)
                brightest = std::max(brightest, qRed(frame.pixel(x, y)));
        EXPECT_GT(brightest, 200) << "the white title is drawn in the middle";
    }
}

TEST_F(Export, OversizeGifsAreRefusedNotShrunk) {
    // Eight seconds of noise changing six times a second cannot fit 2 MiB at 12 fps, nor can an
    // eight-second turn of it; at 1 fps it does.
    const QUrl noise = write("noise.gif", test::noiseGif(48, 6));
    EXPECT_EQ(failure(noise, gif(0, 8, 12)), MediaError::tooLarge);
    ExportOptions turning = gif(0, 8, 12);
    turning.rotation = true;
    turning.rotationSeconds = 8;
    EXPECT_EQ(failure(noise, turning), MediaError::tooLarge) << "a turning GIF as well";
    EXPECT_LE(MediaProcessor::exportMedia(noise, gif(0, 8, 1)).size(), MediaProcessor::maxGifBytes);
}

TEST_F(Export, ATooLargeGifOffersOnlyWhatWasProvenToFit) {
    // Noise at 12 fps: 2.6 s of it come to a little more than fits.
    const MediaInfo media = MediaProcessor::inspect(write("busy.gif", test::noiseGif(36, 12)));
    const ExportOptions chosen = gif(0, 2.6, 12);
    const qsizetype bytes = MediaProcessor::encoded(media, chosen).size();
    ASSERT_GT(bytes, MediaProcessor::maxGifBytes);

    int most = 0; // frames of the largest encode
    const FitSuggestions found = fitSuggestions(media, chosen, bytes, [&most](int, int total) {
        most = std::max(most, total);
        return true;
    });
    ASSERT_TRUE(found.fps && found.length);
    EXPECT_LT(most, 32) << "nothing tried at or above the chosen 2.6 s at 12 fps";
    for (const FitSuggestion* offered : {&*found.fps, &*found.length}) {
        EXPECT_EQ(MediaProcessor::exportMedia(media, offered->options).size(), offered->bytes)
            << "the export gives the bytes that were measured";
        EXPECT_LE(offered->bytes, MediaProcessor::maxGifBytes);
    }
    ExportOptions slower = chosen, shorter = chosen;
    slower.fps = found.fps->options.fps;
    shorter.length = found.length->options.length;
    EXPECT_EQ(found.fps->options, slower) << "only the frame rate changes";
    EXPECT_EQ(found.length->options, shorter) << "only the length changes";
    EXPECT_LT(shorter.length, 2.6);
    ++slower.fps;
    EXPECT_GT(MediaProcessor::encoded(media, slower).size(), MediaProcessor::maxGifBytes)
        << "the highest frame rate that fits";

    // Nothing to offer for what fits, for a JPEG or for a turn, and no encode to find that out.
    ExportOptions jpeg = chosen, turn = chosen;
    jpeg.format = OutputFormat::jpg;
    turn.rotation = true;
    const auto noEncode = [](int, int) -> bool { throw std::logic_error("an encode"); };
    EXPECT_FALSE(fitSuggestions(media, chosen, MediaProcessor::maxGifBytes, noEncode).fps);
    EXPECT_FALSE(fitSuggestions(media, jpeg, bytes, noEncode).length);
    EXPECT_FALSE(fitSuggestions(media, turn, bytes, noEncode).fps);

    // Stopped, the search gives up at once.
    EXPECT_THROW(fitSuggestions(media, chosen, bytes, [](int, int) { return false; }), Cancelled);
}

// Sizes that sit just either side of the limit mislead every guess: the search still settles,
// within its encodes, on the highest step that fits.
TEST(FitSearch, SettlesWithinItsEncodesWhereverTheLimitFalls) {
    constexpr qsizetype limit = MediaProcessor::maxGifBytes;
    EXPECT_EQ(maxEncodes(12), 6);
    EXPECT_EQ(maxEncodes(80), 9);
    for (const int top : {2, 12, 80})
        for (int highest = 0; highest < top; ++highest) {
            int encodes = 0;
            const auto found = highestFitting(top, top, limit + 1, [&](int step) {
                ++encodes;
                return FitSuggestion{{}, step > highest ? limit + 1 : limit - step};
            });
            EXPECT_EQ(found ? limit - found->bytes : 0, highest) << top;
            EXPECT_LE(encodes, maxEncodes(top)) << top << " " << highest;
        }
}

TEST(RotationGif, TimingAndDirection) {
    QImage picture(240, 240, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(110, 0, 20, 40, Qt::red); // a mark at the top
    ExportOptions options;
    options.rotationSeconds = 4;
    options.fps = 12;
    const QByteArray bytes = MediaProcessor::rotationGIF(picture, options);
    const auto summary = summarize(bytes);
    ASSERT_EQ(summary.frames.size(), 48u);
    EXPECT_EQ(summary.totalDelay(), 400);
    const std::vector<int> delays = summary.delays();
    EXPECT_EQ(std::vector<int>(delays.begin(), delays.begin() + 6),
              (std::vector<int>{8, 9, 8, 8, 9, 8}));
    expectDeviceReady(summary);
    // The preview shows the step the device shows at that moment of the turn.
    const RotationPlan plan = RotationPlan::of(options);
    for (int k = 0, start = 0; k < int(delays.size()); start += delays[size_t(k)], ++k)
        EXPECT_EQ(plan.stepAt((start + delays[size_t(k)] / 2.0) / 100), k);

    // A quarter of the way, clockwise puts the mark on the right; counter-clockwise on the left.
    auto clockwise = ImageSource::fromData(bytes);
    EXPECT_GT(qRed(clockwise->frame(12).pixel(220, 120)), 200);
    EXPECT_LT(qGreen(clockwise->frame(12).pixel(220, 120)), 60);
    options.clockwise = false;
    auto counter = ImageSource::fromData(MediaProcessor::rotationGIF(picture, options));
    EXPECT_LT(qGreen(counter->frame(12).pixel(20, 120)), 60);
    EXPECT_EQ(clockwise->frame(6).pixel(2, 2), qRgb(0, 0, 0)) << "uncovered corners are black";

    const auto turns = [&](double seconds, int fps) {
        ExportOptions o;
        o.rotationSeconds = seconds;
        o.fps = fps;
        return summarize(MediaProcessor::rotationGIF(picture, o));
    };
    EXPECT_EQ(turns(0.5, 12).totalDelay(), 100);
    EXPECT_EQ(turns(20, 12).frames.size(), 96u);
    EXPECT_EQ(turns(1, 0).delays(), (std::vector<int>{50, 50}));
    EXPECT_EQ(turns(2.5, 3).frames.size(), 8u);
}
