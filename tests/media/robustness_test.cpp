// Damaged files of every image kind fail with a message, never crash or hang (ASan runs it in CI).
#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "media/media_processor.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tovi;

namespace {

QByteArray sampleGif() {
    test::GifFrameSpec a = test::solidFrame({0, 0, 32, 32}, 1);
    test::GifFrameSpec b = test::solidFrame({4, 4, 16, 16}, 2);
    b.disposal = 3;
    b.transparent = 0;
    b.interlaced = true;
    return test::buildGif({32, 32}, {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0)}, {a, b, a});
}

} // namespace

TEST(Robustness, MutatedImagesFailCleanly) {
    QTemporaryDir dir;
    const QString fixtures = QStringLiteral(TOVI_FIXTURES "/image/");
    const std::vector<std::pair<QString, QByteArray>> originals{
        {QStringLiteral("a.gif"), sampleGif()},
        {QStringLiteral("a.webp"), readFile(fixtures + QStringLiteral("anim.webp"))},
        {QStringLiteral("a.heic"), readFile(fixtures + QStringLiteral("photo.heic"))},
        {QStringLiteral("a.png"), readFile(fixtures + QStringLiteral("anim.png"))},
    };
    QRandomGenerator random(20261206);
    int failures = 0;
    for (const auto& [name, original] : originals) {
        ASSERT_FALSE(original.isEmpty()) << name.toStdString();
        for (int round = 0; round < 60; ++round) {
            QByteArray bytes = original;
            if (round % 3 == 0) {
                bytes.truncate(random.bounded(int(bytes.size())));
            } else {
                for (int flips = 0; flips < 1 + round % 7; ++flips)
                    bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
            }
            const QString path = dir.filePath(name);
            test::writeFile(path, bytes);
            try {
                const MediaInfo info = MediaProcessor::inspect(QUrl::fromLocalFile(path));
                EXPECT_FALSE(info.frame.isNull());
                MediaProcessor::crop(MediaProcessor::sourceFrame(info, info.duration / 2), {}, 64);
            } catch (const ToviError& error) {
                EXPECT_FALSE(error.message().isEmpty());
                ++failures;
            }
        }
    }
    EXPECT_GT(failures, 0) << "the mutations should break at least some files";
}
