#include "support/cli_runner.h"
#include "support/device_fixtures.h"
#include "support/gif_builder.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tovi::test::args;
using tovi::test::CliResult;
using tovi::test::fixture;
using tovi::test::runTovi;
using tovi::test::runToviOk;

TEST(CliInspect, OneTabSeparatedLinePerFileAndPolishErrors) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("two.gif"));
    tovi::test::writeFile(gif,
                          tovi::test::buildGif({12, 8}, {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                                               {tovi::test::solidFrame({0, 0, 12, 8}, 0, 25),
                                                tovi::test::solidFrame({0, 0, 12, 8}, 1, 50)}));

    CliResult ok =
        runTovi(args("inspect", gif, fixture("image/photo.heic"), fixture("video/rotated.mp4")));
    EXPECT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(ok.out, QStringLiteral("two.gif\tanimated\t12×8\t2\t0.750\n"
                                     "photo.heic\tstill\t96×64\t1\t0.000\n"
                                     "rotated.mp4\tvideo\t24×32\t-\t0.400\n"));
    EXPECT_TRUE(ok.err.isEmpty()) << "nothing but our own lines: " << ok.err.toStdString();

    CliResult bad = runTovi(args("inspect", fixture("image/notes.mov"), gif));
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.out.startsWith(QStringLiteral("two.gif\t")));
    EXPECT_TRUE(bad.err.contains(QStringLiteral("notes.mov\tNie można odczytać tego materiału.")))
        << bad.err.toStdString();

    // For scripts: one JSON object a line and file, errors included.
    CliResult json =
        runTovi(args("inspect", "--json", gif, fixture("video/rotated.mp4"), dir.path()));
    EXPECT_EQ(json.status, 1);
    const QStringList lines = json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << json.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral(R"({"duration":0.75,"file":"%1","frames":2,"height":8,)"
                                       R"("kind":"animated","width":12})")
                            .arg(gif));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(R"("frames":null)")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral(R"("error":"Wskazane miejsce jest folderem)")))
        << "a folder is named a folder, not a missing permission: " << lines[2].toStdString();
}

TEST(CliHelp, EveryCommandShowsItsUsageAndOptions) {
    const CliResult all = runTovi(args("--help"));
    ASSERT_EQ(all.status, 0);
    const QString list =
        all.out.section(QStringLiteral("Polecenia:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
    const QStringList lines = list.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 21) << all.out.toStdString();
    for (const QString& line : lines) {
        const QString command = line.simplified().section(QLatin1Char(' '), 0, 0);
        const CliResult help = runTovi(args(command, "--help"));
        EXPECT_EQ(help.status, 0) << command.toStdString() << ": " << help.err.toStdString();
        const QString usage = help.out.section(QLatin1Char('\n'), 0, 0) + u' ';
        EXPECT_TRUE(usage.startsWith(QStringLiteral("Użycie: tovi ") + command + u' '))
            << help.out.toStdString();
        EXPECT_TRUE(help.out.contains(QStringLiteral("\n  -h, --help ")));
    }
    const CliResult frame = runTovi(args("frame", "-h"));
    EXPECT_TRUE(frame.out.contains(QStringLiteral("\n  --time T  ")) &&
                frame.out.contains(QStringLiteral("\n  -o, --output OUT.png  ")))
        << frame.out.toStdString();
    const CliResult unknown = runTovi(args("frame", "--help-me"));
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.startsWith(QStringLiteral("tovi: Nieznana opcja")))
        << unknown.err.toStdString();
}

TEST(CliFrame, WritesTheCropAsPng) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("frame.png"));
    CliResult run = runToviOk(args("frame", fixture("image/photo.heic"), "--zoom", "2", "--x", "1",
                                   "--size", "50", "-o", out));
    const QImage image(out);
    EXPECT_EQ(image.size(), QSize(50, 50));
    EXPECT_GT(qBlue(image.pixel(25, 25)), 200) << "zoom 2 at the right edge shows the blue half";

    EXPECT_EQ(runTovi(args("frame", fixture("image/broken.png"), "-o", out)).status, 1);
    EXPECT_EQ(
        runTovi(args("frame", fixture("image/photo.heic"), "--time", "abc", "-o", out)).status, 2);
}
