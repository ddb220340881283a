#include "app/atomic_write.h"
#include "app/polish_count.h"
#include "app/polish_format.h"
#include "media/image_source.h"
#include "support/cli_runner.h"
#include "support/gif_builder.h"
#include "support/gif_summary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tovi::test::args;
using tovi::test::CliResult;
using tovi::test::fixture;
using tovi::test::runTovi;
using tovi::test::runToviOk;

TEST(CliExport, StudioDefaultsThenOverrides) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("out.gif"));
    // A 2-second video: an animated source becomes a GIF of min(4, 2) s at 12 fps.
    CliResult video = runToviOk(args("export", fixture("video/colours.mp4"), "-o", gif));
    EXPECT_TRUE(video.out.contains(QStringLiteral(": 24 klatki, "))) << video.out.toStdString();
    EXPECT_TRUE(video.err.isEmpty()) << "no progress when standard error is not a terminal";
    auto decoded = tovi::ImageSource::fromData(tovi::readFile(gif));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->frameCount(), 24);
    EXPECT_EQ(decoded->size(), QSize(240, 240));

    // A still becomes a JPEG unless a turn is asked for.
    const QString jpg = dir.filePath(QStringLiteral("still.jpg"));
    ASSERT_EQ(runTovi(args("export", fixture("image/photo.heic"), "-o", jpg)).status, 0);
    EXPECT_TRUE(tovi::readFile(jpg).startsWith("\xFF\xD8\xFF"));
    const QString turn = dir.filePath(QStringLiteral("turn.gif"));
    ASSERT_EQ(runTovi(args("export", fixture("image/photo.heic"), "-o", turn, "--rotate", "--turn",
                           "2", "--fps", "6"))
                  .status,
              0);
    EXPECT_EQ(tovi::ImageSource::fromData(tovi::readFile(turn))->frameCount(), 12);

    CliResult bad = runTovi(args("export", fixture("image/notes.mov"), "-o", gif));
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Nie można odczytać tego materiału.")));
    CliResult empty =
        runTovi(args("export", fixture("video/colours.mp4"), "-o", gif, "--start", "9"));
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("Wybrany fragment nie zawiera klatek.")));
    EXPECT_EQ(
        runTovi(args("export", fixture("video/colours.mp4"), "-o", gif, "--format", "png")).status,
        2);
    EXPECT_EQ(runTovi(args("export", fixture("video/colours.mp4"))).status, 2) << "no -o";
    // A video's frame as a still, the format named in any case.
    ASSERT_EQ(
        runTovi(args("export", fixture("video/colours.mp4"), "-o", jpg, "--format", "jpg")).status,
        0);
    EXPECT_TRUE(tovi::readFile(jpg).startsWith("\xFF\xD8\xFF"));
}

// How the fragment plays, and its size told without a file.
TEST(CliExport, MotionAndTheSizeAhead) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("out.gif"));
    const QString video = fixture("video/colours.mp4");
    const auto exported = [&](const QStringList& more) {
        return runTovi(QStringList{QStringLiteral("export"), video, QStringLiteral("-o"), gif} +
                       more);
    };
    for (const QString& speed : {QStringLiteral("3"), QStringLiteral("szybko")}) {
        const CliResult bad = exported({QStringLiteral("--speed"), speed});
        EXPECT_EQ(bad.status, 2);
        EXPECT_TRUE(bad.err.contains(QStringLiteral("--speed przyjmuje 0.5, 0.75, 1, 1.5 albo 2.")))
            << bad.err.toStdString();
    }
    const CliResult both = exported({QStringLiteral("--reverse"), QStringLiteral("--bounce")});
    EXPECT_EQ(both.status, 2);
    EXPECT_TRUE(both.err.contains(QStringLiteral("wykluczają się")));
    EXPECT_FALSE(QFileInfo::exists(gif));

    // 2 s at 12 fps forwards and back at 2 ×: 46 frames in 2 s.
    ASSERT_EQ(exported({QStringLiteral("--bounce"), QStringLiteral("--speed"), QStringLiteral("2")})
                  .status,
              0);
    const QByteArray written = tovi::readFile(gif);
    const auto decoded = tovi::ImageSource::fromData(written);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->frameCount(), 46);
    EXPECT_EQ(tovi::test::summarize(written).totalDelay(), 192) << "(2 + 22 / 12 s) / 2";

    const CliResult dry =
        runToviOk(args("export", video, "--dry-run", "--bounce", "--speed", "2,0"));
    EXPECT_EQ(dry.out, tovi::PolishFormat::sizeOfLimit(written.size(), 2 << 20) + u'\n');
    EXPECT_EQ(QDir(dir.path()).count(), 3u) << "nothing written but out.gif";

    // Too large: the size, then what would fit, and still a failure.
    QFile busy(dir.filePath(QStringLiteral("busy.gif")));
    ASSERT_TRUE(busy.open(QIODevice::WriteOnly) && busy.write(tovi::test::noiseGif(36, 12)));
    busy.close();
    const CliResult over = runTovi(args("export", busy.fileName(), "--dry-run"));
    EXPECT_EQ(over.status, 1) << over.err.toStdString();
    EXPECT_TRUE(over.out.contains(QRegularExpression(
        QStringLiteral("^Za duży: 2,\\d+ MB z 2 MB\nPrzy ([1-9]|1[01]) kl\\./s: 1,\\d+ MB\n"
                       "Przy [0-2],\\d s: 1,\\d+ MB\n$"))))
        << over.out.toStdString();
}

TEST(CliCard, RendersTheCardGif) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("6.gif"));
    CliResult card = runToviOk(args("card", fixture("image/photo.heic"), "-o", out, "--slot", "5",
                                    "--captions", "--title", "Tak"));
    auto decoded = tovi::ImageSource::fromData(tovi::readFile(out));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->frameCount(), 14);
    EXPECT_EQ(card.out, out + QStringLiteral(": 14 klatek, ") +
                            tovi::PolishCount::bytes(QFileInfo(out).size()) + QStringLiteral("\n"));
    EXPECT_DOUBLE_EQ(decoded->delay(13), 240.0);
    EXPECT_EQ(runTovi(args("card", fixture("image/photo.heic"), "-o", out, "--slot", "6")).status,
              2);
    EXPECT_EQ(runTovi(args("card", fixture("image/photo.heic"), "--slot", "5")).status, 2)
        << "no -o";
}
