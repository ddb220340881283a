#include "app/atomic_write.h"
#include "app/platform_error.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "support/device_fixtures.h"

#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

QString fixture(const char* name) {
    return QStringLiteral(TOVI_FIXTURES "/image/") + QString::fromUtf8(name);
}

MediaInfo inspectPath(const QString& path) {
    return MediaProcessor::inspect(QUrl::fromLocalFile(path));
}

} // namespace

class Images : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_F(Images, ExifOrientationIsAppliedOnce) {
    // Stored 60 × 20 with red on the left; tagged "rotate 90° clockwise" → upright 20 × 60,
    // red on top.
    QImage stored(60, 20, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    QPainter(&stored).fillRect(0, 0, 20, 20, Qt::red);
    QImageWriter writer(path("rotated.jpg"));
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(stored));

    const MediaInfo info = inspectPath(path("rotated.jpg"));
    EXPECT_FALSE(info.animated);
    EXPECT_EQ(info.duration, 0);
    ASSERT_EQ(info.frame.size(), QSize(20, 60));
    EXPECT_GT(qRed(info.frame.pixel(10, 5)), 200);
    EXPECT_GT(qBlue(info.frame.pixel(10, 55)), 200);
    EXPECT_EQ(ImageSource::open(path("rotated.jpg"))->size(), QSize(20, 60));
}

TEST_F(Images, LargePhotosAreBoundedAndTransparencyKept) {
    QImage big(3000, 1500, QImage::Format_ARGB32);
    big.fill(Qt::transparent);
    QPainter(&big).fillRect(0, 0, 1500, 1500, Qt::green);
    ASSERT_TRUE(big.save(path("big.png")));
    const MediaInfo info = inspectPath(path("big.png"));
    EXPECT_EQ(info.frame.size(), QSize(2000, 1000));
    EXPECT_TRUE(info.frame.hasAlphaChannel());
    const QImage cropped = MediaProcessor::crop(info.frame, {1, 1, 0}, 100);
    EXPECT_EQ(cropped.pixel(50, 50), qRgb(255, 255, 255));
}

TEST_F(Images, AnimatedWebPAndPngFramesLastWhatTheFileSays) {
    for (const char* name : {"anim.webp", "anim.png"}) {
        SCOPED_TRACE(name);
        const MediaInfo info = inspectPath(fixture(name));
        EXPECT_TRUE(info.animated);
        EXPECT_NEAR(info.duration, 1.0, 1e-6);
        auto source = ImageSource::open(fixture(name));
        ASSERT_EQ(source->frameCount(), 3);
        EXPECT_NEAR(source->delay(1), 0.3, 1e-6);
        EXPECT_DOUBLE_EQ(source->delay(-1), 0.1) << "no frame there: the missing delay";
        EXPECT_DOUBLE_EQ(source->delay(3), 0.1);
        EXPECT_GT(qRed(MediaProcessor::sourceFrame(info, 0).pixel(5, 5)), 200);
        EXPECT_GT(qGreen(MediaProcessor::sourceFrame(info, 0.25).pixel(5, 5)), 200);
        EXPECT_GT(qBlue(MediaProcessor::sourceFrame(info, 0.9).pixel(5, 5)), 200);
    }
    // The APNG's second frame is green on the left, blended over the red first frame.
    const MediaInfo png = inspectPath(fixture("anim.png"));
    EXPECT_EQ(MediaProcessor::sourceFrame(png, 0.25).pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(MediaProcessor::sourceFrame(png, 0.25).pixel(35, 5), qRgb(255, 0, 0));
    EXPECT_EQ(MediaProcessor::sourceFrame(png, 0.9).pixel(35, 5), qRgb(0, 0, 255));
}

TEST_F(Images, HeifPhotosDecode) {
    const MediaInfo info = inspectPath(fixture("photo.heic"));
    EXPECT_FALSE(info.animated);
    ASSERT_EQ(info.frame.size(), QSize(96, 64));
    EXPECT_GT(qRed(info.frame.pixel(10, 32)), 200);
    EXPECT_GT(qBlue(info.frame.pixel(85, 32)), 200);
}

TEST_F(Images, DamagedAndForeignFilesAreUnreadable) {
    for (const char* name : {"truncated.jpg", "broken.png", "notes.mov"})
        EXPECT_EQ(test::kindThrown<MediaError>([&] { inspectPath(fixture(name)); }),
                  MediaError::unreadable)
            << name;
    // A PNG cut short after its header, and an empty file.
    const QByteArray whole =
        readFile(tovi::test::savePicture(path("whole.png"), {50, 50}, Qt::red));
    for (auto [name, bytes] :
         {std::pair{"cut.png", whole.left(40)}, std::pair{"empty.gif", QByteArray()}}) {
        tovi::test::writeFile(path(name), bytes);
        EXPECT_THROW(inspectPath(path(name)), MediaError) << name;
    }
    EXPECT_THROW(inspectPath(path("missing.jpg")), PlatformError);
}
