#include "app/atomic_write.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/video_source.h"
#include "support/device_fixtures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

using namespace tovi;
using Accuracy = VideoSource::Accuracy;

namespace {

QString fixture(const char* name) {
    return QStringLiteral(TOVI_FIXTURES "/video/") + QLatin1String(name);
}

// colours.mp4: one solid colour per 0.2 s, key frames at 0 s and 1 s (see the fixture script).
constexpr std::array<QRgb, 10> palette{0xff0000, 0x00ff00, 0x0000ff, 0xffff00, 0x00ffff,
                                       0xff00ff, 0xffffff, 0x000000, 0xff8000, 0x8000ff};

int distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// Which palette colour fills the frame; -1 when none is close.
int colourIndex(const QImage& image) {
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    const QRgb centre = image.pixel(image.width() / 2, image.height() / 2);
    for (int i = 0; i < int(palette.size()); ++i)
        if (distance(centre, palette[i]) < 48)
            return i;
    return -1;
}

QRgb at(const QImage& image, double fx, double fy) {
    return image.pixel(int(fx * image.width()), int(fy * image.height())) & 0xffffff;
}

} // namespace

TEST(VideoSource, DurationIsTheVideoStreams) {
    EXPECT_NEAR(VideoSource(fixture("colours.mp4")).duration(), 2.0, 1e-3);
    EXPECT_NEAR(VideoSource(fixture("short.mp4")).duration(), 0.2, 1e-3);
    // Its sound lasts two seconds.
    EXPECT_NEAR(VideoSource(fixture("long_audio.mp4")).duration(), 1.0, 1e-3);
}

TEST(VideoSource, ExactGivesTheFrameOnScreen) {
    // B-frames reorder the frames around 0.7 s and 0.99 s, just before the key frame at 1 s.
    const std::vector<std::pair<double, int>> cases{{0.0, 0},  {0.19, 0}, {0.2, 1},  {0.7, 3},
                                                    {0.99, 4}, {1.0, 5},  {1.5, 7},  {1.99, 9},
                                                    {2.0, 9},  {5.0, 9},  {-1.0, 0}, {0.41, 2}};
    // The MPEG-TS copies have no index and seek by decode time, landing past the frame wanted.
    for (const char* name :
         {"colours.mp4", "colours.ts", "colours_annexb.ts", "colours_hevc.mp4"}) {
        for (const auto& [time, expected] : cases) {
            VideoSource source(fixture(name));
            EXPECT_EQ(colourIndex(source.frameAt(time, Accuracy::exact)), expected)
                << name << " at " << time;
        }
        // One source asked in an order that forces seeks back and skips over a key frame.
        VideoSource source(fixture(name));
        for (const auto& [time, expected] : cases)
            EXPECT_EQ(colourIndex(source.frameAt(time, Accuracy::exact)), expected)
                << name << " at " << time << " in turn";
    }
}

TEST(VideoSource, ExactFollowsIncreasingTimesThenGoesBack) {
    VideoSource source(fixture("colours.mp4"));
    for (int i = 0; i < 24; ++i) { // the export's 12 fps over 2 s
        const double time = i / 12.0;
        EXPECT_EQ(colourIndex(source.frameAt(time, Accuracy::exact)), int(time * 5 + 1e-9))
            << "at " << time;
    }
    EXPECT_EQ(colourIndex(source.frameAt(0.3, Accuracy::exact)), 1);
    EXPECT_EQ(colourIndex(source.frameAt(0.65, Accuracy::exact)), 3);
}

TEST(VideoSource, ASamplingScheduleNeverChangesWhichFrameIsShown) {
    // Every second frame is asked for, so the others may be dropped by the decoder.
    for (const char* name :
         {"colours.mp4", "colours.ts", "colours_annexb.ts", "colours_hevc.mp4"}) {
        VideoSource source(fixture(name));
        source.setSampling(0.05, 0.4);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(colourIndex(source.frameAt(0.05 + 0.4 * i, Accuracy::exact)), 2 * i)
                << name << " at step " << i;
        // Off the schedule (going back, then between the times asked for): still exact.
        EXPECT_EQ(colourIndex(source.frameAt(0.3, Accuracy::exact)), 1) << name;
        EXPECT_EQ(colourIndex(source.frameAt(0.7, Accuracy::exact)), 3) << name;
        EXPECT_EQ(colourIndex(source.frameAt(1.9, Accuracy::exact)), 9) << name;
    }
    // Times on the first tick of a frame: the frame before each one is never needed.
    for (const char* name : {"colours.mp4", "colours.ts"}) {
        VideoSource source(fixture(name));
        source.setSampling(0.2, 0.4);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(colourIndex(source.frameAt(0.2 + 0.4 * i, Accuracy::exact)), 2 * i + 1)
                << name << " on the boundary at step " << i;
    }
    // A time between two scheduled ones, going forward, is no less exact.
    VideoSource source(fixture("colours.mp4"));
    source.setSampling(0, 0.4);
    EXPECT_EQ(colourIndex(source.frameAt(0.4, Accuracy::exact)), 2);
    EXPECT_EQ(colourIndex(source.frameAt(0.65, Accuracy::exact)), 3);
    EXPECT_EQ(colourIndex(source.frameAt(1.25, Accuracy::exact)), 6);
}

TEST(VideoSource, TolerantGivesTheNearestKeyFrame) {
    VideoSource source(fixture("colours.mp4"));
    EXPECT_EQ(colourIndex(source.frameAt(0.3, Accuracy::tolerant)), 0);
    EXPECT_EQ(colourIndex(source.frameAt(0.7, Accuracy::tolerant)), 5);
    EXPECT_EQ(colourIndex(source.frameAt(1.9, Accuracy::tolerant)), 5);
    EXPECT_EQ(colourIndex(source.frameAt(0.45, Accuracy::tolerant)), 0);
    // Exact after tolerant: behind the key frame just decoded, then ahead of it.
    EXPECT_EQ(colourIndex(source.frameAt(0.8, Accuracy::exact)), 4);
    EXPECT_EQ(colourIndex(source.frameAt(0.7, Accuracy::tolerant)), 5);
    EXPECT_EQ(colourIndex(source.frameAt(1.3, Accuracy::exact)), 6);

    // Without an index: a key frame (every fourth in this file), never one after the time.
    VideoSource stream(fixture("colours.ts"));
    for (double time : {0.3, 0.99, 1.5, 1.99, 0.7}) {
        const int index = colourIndex(stream.frameAt(time, Accuracy::tolerant));
        EXPECT_TRUE(index % 4 == 0 && index <= time * 5) << "at " << time << ": " << index;
    }
}

TEST(VideoSource, PastTheLastVideoFrameGivesTheLastFrame) {
    VideoSource source(fixture("long_audio.mp4"));
    EXPECT_LT(distance(at(source.frameAt(0.5, Accuracy::exact), 0.5, 0.5), 0xff0000), 24);
    EXPECT_LT(distance(at(source.frameAt(1.8, Accuracy::exact), 0.5, 0.5), 0x0000ff), 24);
    EXPECT_FALSE(source.frameAt(1.8, Accuracy::tolerant).isNull());

    VideoSource brief(fixture("short.mp4"));
    EXPECT_FALSE(brief.frameAt(0.5, Accuracy::exact).isNull());
    EXPECT_FALSE(brief.frameAt(0.1, Accuracy::tolerant).isNull());
}

TEST(VideoSource, UsesTheRightColourMatrix) {
    // Decoded as BT.601 these would be off by 20 levels or more; a crop converts on its own.
    VideoSource tagged(fixture("colours.mp4"));
    VideoSource taggedCrop(fixture("colours.mp4"));
    taggedCrop.setCrop({1.5, 0, 0}, 8);
    for (VideoSource* source : {&tagged, &taggedCrop}) {
        EXPECT_LT(distance(at(source->frameAt(0, Accuracy::exact), 0.5, 0.5), 0xff0000), 8);
        EXPECT_LT(distance(at(source->frameAt(1.0, Accuracy::exact), 0.5, 0.5), 0xff00ff), 8);
    }
    VideoSource untaggedHd(fixture("hd_untagged.mp4"));
    const QImage hd = untaggedHd.frameAt(0, Accuracy::exact);
    EXPECT_EQ(hd.size(), QSize(1280, 720));
    EXPECT_LT(distance(at(hd, 0.5, 0.5), qRgb(200, 40, 200)), 8);
}

TEST(VideoSource, TurnsAndMirrorsByTheDisplayMatrix) {
    // Stored: red top left, green top right, blue bottom left, white bottom right. Shown: the
    // corners top left, top right, bottom left, bottom right.
    const std::tuple<const char*, QSize, std::array<QRgb, 4>> cases[] = {
        {"rotated.mp4", {24, 32}, {0x00ff00, 0xffffff, 0xff0000, 0x0000ff}}, // a quarter left
        {"upside_down.mp4", {32, 24}, {0xffffff, 0x0000ff, 0x00ff00, 0xff0000}},
        {"transposed.mp4", {24, 32}, {0xff0000, 0x0000ff, 0x00ff00, 0xffffff}}};
    for (auto accuracy : {Accuracy::exact, Accuracy::tolerant})
        for (const auto& [file, size, corners] : cases) {
            const QImage shown = VideoSource(fixture(file)).frameAt(0.1, accuracy);
            ASSERT_EQ(shown.size(), size) << file;
            for (int i = 0; i < 4; ++i)
                EXPECT_LT(distance(at(shown, 0.25 + 0.5 * (i % 2), 0.25 + 0.5 * (i / 2)),
                                   corners[size_t(i)]),
                          24)
                    << file << ", corner " << i;
        }
}

TEST(VideoSource, LargePicturesAndPixelAspectAreBounded) {
    // 1000 × 400 stored with pixels twice as wide: 2000 × 400 shown, bounded to 1600 wide.
    VideoSource wide(fixture("wide_pixels.mp4"));
    EXPECT_EQ(wide.frameAt(0, Accuracy::exact).size(), QSize(1600, 320));
    EXPECT_EQ(wide.frameAt(0.3, Accuracy::tolerant).size(), QSize(1600, 320));
    VideoSource hd(fixture("full_hd.mp4"));
    const QImage frame = hd.frameAt(0, Accuracy::exact);
    EXPECT_EQ(frame.size(), QSize(1600, 900));
    EXPECT_LT(distance(frame.pixel(800, 450), 0x336699), 8);
}

namespace {

// Frame `index` of `file` as FFmpeg's own tools crop and scale it: the way the reference frames
// of the quality measure are made.
QImage croppedByFFmpeg(const QString& file, int index, const QRect& window, int side) {
    QProcess ffmpeg;
    const QString filter =
        QStringLiteral("select=eq(n\\,%1),crop=%2:%3:%4:%5,scale=%6:%6:flags=lanczos,format=rgb24")
            .arg(QString::number(index), QString::number(window.width()),
                 QString::number(window.height()), QString::number(window.x()),
                 QString::number(window.y()), QString::number(side));
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                             file, QStringLiteral("-vf"), filter} +
                     QStringLiteral("-frames:v 1 -f rawvideo -").split(QLatin1Char(' ')));
    ffmpeg.waitForFinished(60000);
    const QByteArray rgb = ffmpeg.readAllStandardOutput();
    if (rgb.size() != 3 * side * side)
        return {};
    return QImage(reinterpret_cast<const uchar*>(rgb.constData()), side, side, 3 * side,
                  QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(VideoSource, CropsAsFFmpegScales) {
    // The crop comes straight from the decoded planes, as FFmpeg's scaler makes it from the same
    // window: the same picture, colours and filter, whatever the range or matrix.
    struct Case {
        const char* name;
        CropSettings crop;
        QRect window; // the crop's window in whole pixels
    };
    for (const Case& c : {Case{"pattern.mp4", {1, 0, 0}, {108, 0, 270, 270}},
                          Case{"pattern_full.mp4", {1, -1, 0}, {0, 0, 270, 270}}}) {
        VideoSource cut(fixture(c.name));
        cut.setCrop(c.crop, 240);
        const QImage expected = croppedByFFmpeg(fixture(c.name), 0, c.window, 240);
        ASSERT_FALSE(expected.isNull()) << c.name;
        EXPECT_EQ(cut.frameAt(0, Accuracy::exact), expected) << c.name;
    }
    // One source as the crop moves and zooms (a window starts on whole chroma samples).
    VideoSource hd(fixture("pattern_hd.mp4"));
    for (const auto& [crop, window] :
         std::vector<std::pair<CropSettings, QRect>>{{{1, 0, 0}, {280, 0, 720, 720}},
                                                     {{2, -1, -1}, {0, 0, 360, 360}},
                                                     {{2.25, 0.5, 0.5}, {720, 300, 320, 320}},
                                                     {{2.4, 0.3, -0.2}, {638, 168, 300, 300}}}) {
        hd.setCrop(crop, 240);
        const QImage expected = croppedByFFmpeg(fixture("pattern_hd.mp4"), 0, window, 240);
        ASSERT_FALSE(expected.isNull());
        EXPECT_EQ(hd.frameAt(0, Accuracy::exact), expected) << "zoom " << crop.zoom;
    }
    // Turned, stretched or transparent pictures are cropped whole, exactly as before.
    const CropSettings settings{1.5, 0.4, -0.2};
    for (const char* name : {"rotated.mp4", "transposed.mp4", "wide_pixels.mp4", "alpha.mov"}) {
        VideoSource whole(fixture(name));
        VideoSource cut(fixture(name));
        cut.setCrop(settings, 240);
        EXPECT_EQ(cut.frameAt(0, Accuracy::exact),
                  MediaProcessor::crop(whole.frameAt(0, Accuracy::exact), settings, 240))
            << name;
    }
}

TEST(VideoSource, TransparentVideoBecomesOpaque) {
    const QImage image = VideoSource(fixture("alpha.mov")).frameAt(0, Accuracy::exact);
    ASSERT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(at(image, 0.25, 0.5), 0x000000u);
    EXPECT_EQ(at(image, 0.75, 0.5), 0x00ff00u);
}

TEST(VideoSource, RejectsWhatIsNotAVideo) {
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.mp4"));
    tovi::test::writeFile(empty, {});
    // Cover art only, the index lost, no file, an empty one.
    for (const QString& path : {fixture("notvideo.mov"), fixture("audio_cover.m4a"),
                                fixture("truncated.mp4"), fixture("missing.mp4"), empty})
        EXPECT_EQ(
            test::kindThrown<MediaError>([&] { VideoSource(path).frameAt(0, Accuracy::exact); }),
            MediaError::unreadable)
            << path.toStdString();
}

// Whatever is left of a damaged file either yields frames or fails as unreadable; it never
// crashes or hangs (the sanitizer build runs this too).
TEST(VideoSource, DamagedDataFailsCleanly) {
    const QByteArray bytes = readFile(fixture("colours.mp4"));
    const qsizetype mdat = bytes.indexOf("mdat");
    ASSERT_GT(mdat, 0); // the index comes first in this file, so cuts keep it

    std::vector<QByteArray> damaged;
    for (double part : {0.5, 0.6, 0.75, 0.9})
        damaged.push_back(bytes.left(qsizetype(double(bytes.size()) * part)));
    QByteArray zeroed = bytes;
    std::fill(zeroed.begin() + mdat + 4, zeroed.end(), '\0');
    damaged.push_back(zeroed);
    QByteArray scrambled = bytes;
    for (qsizetype i = mdat + 4; i < scrambled.size(); i += 7)
        scrambled[i] = char(scrambled[i] ^ 0x5a);
    damaged.push_back(scrambled);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int openedWithFrames = 0;
    for (size_t i = 0; i < damaged.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("damaged%1.mp4").arg(i));
        tovi::test::writeFile(path, damaged[i]);
        try {
            VideoSource source(path);
            for (double time : {0.0, 0.5, 1.2, 1.9, 0.3})
                for (auto accuracy : {Accuracy::exact, Accuracy::tolerant}) {
                    const QImage image = source.frameAt(time, accuracy);
                    EXPECT_EQ(image.size(), QSize(32, 24)) << "damaged" << i;
                }
            ++openedWithFrames;
        } catch (const MediaError& error) {
            EXPECT_EQ(error.kind(), MediaError::unreadable) << "damaged" << i;
        }
    }
    // A cut through the second group still leaves the first one to show.
    EXPECT_GE(openedWithFrames, 1);
}
