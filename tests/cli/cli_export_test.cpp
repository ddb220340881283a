#include "media/image_source.h"
#include "support/gif_builder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome tool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(TOVI_TOVI_BINARY), arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString fixture(const char* name) {
    return QStringLiteral(TOVI_FIXTURES "/") + QString::fromUtf8(name);
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(CliExport, StudioDefaultsThenOverrides) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("out.gif"));
    // A 2-second video: an animated source becomes a GIF of min(4, 2) s at 12 fps.
    Outcome video =
        tool({QStringLiteral("export"), fixture("video/colours.mp4"), QStringLiteral("-o"), gif});
    ASSERT_EQ(video.status, 0) << video.err.toStdString();
    EXPECT_TRUE(video.out.contains(QStringLiteral("24 klatek"))) << video.out.toStdString();
    EXPECT_TRUE(video.err.isEmpty()) << "no progress when standard error is not a terminal";
    auto decoded = tovi::ImageSource::fromData(read(gif));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->frameCount(), 24);
    EXPECT_EQ(decoded->size(), QSize(240, 240));

    // A still becomes a JPEG unless a turn is asked for.
    const QString jpg = dir.filePath(QStringLiteral("still.jpg"));
    ASSERT_EQ(
        tool({QStringLiteral("export"), fixture("image/photo.heic"), QStringLiteral("-o"), jpg})
            .status,
        0);
    EXPECT_TRUE(read(jpg).startsWith("\xFF\xD8\xFF"));
    const QString turn = dir.filePath(QStringLiteral("turn.gif"));
    ASSERT_EQ(tool({QStringLiteral("export"), fixture("image/photo.heic"), QStringLiteral("-o"),
                    turn, QStringLiteral("--rotate"), QStringLiteral("--turn"), QStringLiteral("2"),
                    QStringLiteral("--fps"), QStringLiteral("6")})
                  .status,
              0);
    EXPECT_EQ(tovi::ImageSource::fromData(read(turn))->frameCount(), 12);

    Outcome bad =
        tool({QStringLiteral("export"), fixture("image/notes.mov"), QStringLiteral("-o"), gif});
    EXPECT_EQ(bad.status, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Nie można odczytać tego materiału.")));
    Outcome empty =
        tool({QStringLiteral("export"), fixture("video/colours.mp4"), QStringLiteral("-o"), gif,
              QStringLiteral("--start"), QStringLiteral("9")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("Wybrany fragment nie zawiera klatek.")));
    EXPECT_EQ(tool({QStringLiteral("export"), fixture("video/colours.mp4"), QStringLiteral("-o"),
                    gif, QStringLiteral("--format"), QStringLiteral("png")})
                  .status,
              2);
}

TEST(CliCard, RendersTheCardGif) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("6.gif"));
    Outcome card =
        tool({QStringLiteral("card"), fixture("image/photo.heic"), QStringLiteral("-o"), out,
              QStringLiteral("--slot"), QStringLiteral("5"), QStringLiteral("--captions"),
              QStringLiteral("--title"), QStringLiteral("Tak")});
    ASSERT_EQ(card.status, 0) << card.err.toStdString();
    auto decoded = tovi::ImageSource::fromData(read(out));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->frameCount(), 14);
    EXPECT_DOUBLE_EQ(decoded->delay(13), 240.0);
    EXPECT_EQ(tool({QStringLiteral("card"), fixture("image/photo.heic"), QStringLiteral("-o"), out,
                    QStringLiteral("--slot"), QStringLiteral("6")})
                  .status,
              2);
}
