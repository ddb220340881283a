#include "support/cli_runner.h"
#include "support/gif_builder.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tovi::test::CliResult;
using tovi::test::runTovi;

namespace {

QString fixture(const char* name) {
    return QStringLiteral(TOVI_FIXTURES "/") + QString::fromUtf8(name);
}

} // namespace

TEST(CliInspect, OneTabSeparatedLinePerFileAndPolishErrors) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("two.gif"));
    QFile file(gif);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(tovi::test::buildGif({12, 8}, {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                                    {tovi::test::solidFrame({0, 0, 12, 8}, 0, 25),
                                     tovi::test::solidFrame({0, 0, 12, 8}, 1, 50)}));
    file.close();

    CliResult ok = runTovi({QStringLiteral("inspect"), gif, fixture("image/photo.heic"),
                            fixture("video/rotated.mp4")});
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QStringLiteral("two.gif\tanimated\t12×8\t2\t0.750\n"
                                     "photo.heic\tstill\t96×64\t1\t0.000\n"
                                     "rotated.mp4\tvideo\t24×32\t-\t0.400\n"));
    EXPECT_TRUE(ok.err.isEmpty()) << "nothing but our own lines: " << ok.err.toStdString();

    CliResult bad = runTovi({QStringLiteral("inspect"), fixture("image/notes.mov"), gif});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.startsWith(QStringLiteral("two.gif\t")));
    EXPECT_TRUE(bad.err.contains(QStringLiteral("notes.mov\tNie można odczytać tego materiału.")))
        << bad.err.toStdString();
}

TEST(CliFrame, WritesTheCropAsPng) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("frame.png"));
    CliResult run =
        runTovi({QStringLiteral("frame"), fixture("image/photo.heic"), QStringLiteral("--zoom"),
                 QStringLiteral("2"), QStringLiteral("--x"), QStringLiteral("1"),
                 QStringLiteral("--size"), QStringLiteral("50"), QStringLiteral("-o"), out});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage image(out);
    EXPECT_EQ(image.size(), QSize(50, 50));
    EXPECT_GT(qBlue(image.pixel(25, 25)), 200) << "zoom 2 at the right edge shows the blue half";

    EXPECT_EQ(
        runTovi({QStringLiteral("frame"), fixture("image/broken.png"), QStringLiteral("-o"), out})
            .status,
        1);
    EXPECT_EQ(runTovi({QStringLiteral("frame"), fixture("image/photo.heic"),
                       QStringLiteral("--time"), QStringLiteral("abc"), QStringLiteral("-o"), out})
                  .status,
              2);
}
