#include "media/media_error.h"
#include "media/media_processor.h"
#include "support/device_fixtures.h"

#include <gtest/gtest.h>

using namespace tovi;

namespace {

QUrl video(const char* name) {
    return QUrl::fromLocalFile(QStringLiteral(TOVI_FIXTURES "/video/") + QString::fromUtf8(name));
}

} // namespace

TEST(InspectVideo, KindUprightSizeAndDuration) {
    const MediaInfo rotated = MediaProcessor::inspect(video("rotated.mp4"));
    EXPECT_TRUE(rotated.video);
    EXPECT_TRUE(rotated.animated);
    EXPECT_EQ(rotated.frame.size(), QSize(24, 32)) << "stored 32 × 24, turned a quarter";
    EXPECT_NEAR(rotated.duration, 0.4, 0.02);
    EXPECT_EQ(rotated.frame.format(), QImage::Format_RGB32);

    EXPECT_NEAR(MediaProcessor::inspect(video("short.mp4")).duration, 0.2, 0.02);
    // The sound runs on for another second; the video's length is what counts.
    EXPECT_NEAR(MediaProcessor::inspect(video("long_audio.mp4")).duration, 1.0, 0.02);
}

TEST(InspectVideo, FramesAtTimesAreClampedToTheVideo) {
    // colours.mp4 shows a new solid colour every 0.2 s for 2 s.
    const MediaInfo media = MediaProcessor::inspect(video("colours.mp4"));
    const auto colour = [&](double t, VideoSource::Accuracy accuracy) {
        return MediaProcessor::sourceFrame(media, t, accuracy).pixel(16, 12);
    };
    using A = VideoSource::Accuracy;
    EXPECT_EQ(colour(5, A::exact), colour(1.95, A::exact)) << "past the end: the last frame";
    EXPECT_EQ(colour(-1, A::exact), colour(0, A::exact));
    EXPECT_EQ(colour(0, A::exact), media.frame.pixel(16, 12));
    EXPECT_NE(colour(0.5, A::exact), colour(0.7, A::exact));

    // A long sound track never makes a time near its end fail.
    const MediaInfo longAudio = MediaProcessor::inspect(video("long_audio.mp4"));
    EXPECT_FALSE(MediaProcessor::sourceFrame(longAudio, 1.9, A::exact).isNull());
}

TEST(InspectVideo, StreamsThatStateNoDurationAreTimedFromTheirPackets) {
    const MediaInfo reference = MediaProcessor::inspect(video("colours.mp4"));
    for (const char* name : {"colours.h264", "piped.mkv"}) {
        const MediaInfo media = MediaProcessor::inspect(video(name));
        EXPECT_NEAR(media.duration, 2.0, 0.05) << name;
        EXPECT_EQ(media.frame.pixel(16, 12), reference.frame.pixel(16, 12)) << name;
        EXPECT_EQ(
            MediaProcessor::sourceFrame(media, 1.1, VideoSource::Accuracy::exact).pixel(16, 12),
            MediaProcessor::sourceFrame(reference, 1.1, VideoSource::Accuracy::exact).pixel(16, 12))
            << name;
    }
}

TEST(InspectVideo, DescriptionSkipsTheFirstFrameButExportsTheSame) {
    const MediaInfo full = MediaProcessor::inspect(video("colours.mp4"));
    const MediaInfo described = MediaProcessor::describe(video("colours.mp4"));
    EXPECT_TRUE(described.frame.isNull());
    EXPECT_TRUE(described.video);
    EXPECT_TRUE(described.animated);
    EXPECT_DOUBLE_EQ(described.duration, full.duration);

    ExportOptions options;
    options.length = 1;
    EXPECT_EQ(MediaProcessor::exportMedia(described, options),
              MediaProcessor::exportMedia(video("colours.mp4"), options));
    options.format = OutputFormat::jpg;
    options.start = 0.5;
    EXPECT_EQ(MediaProcessor::exportMedia(described, options),
              MediaProcessor::exportMedia(full, options));

    // A file whose frames do not decode still fails, only later.
    for (const char* name : {"truncated.mp4", "notvideo.mov"})
        EXPECT_EQ(test::kindThrown<MediaError>([&] {
                      MediaProcessor::exportMedia(MediaProcessor::describe(video(name)),
                                                  ExportOptions{});
                  }),
                  MediaError::unreadable)
            << name;
}
