// An outside GIF decoder test suite (tests/fixtures/gif-test-suite, CC-BY-SA 4.0): every file
// read as its .conf says a browser shows it, or on the list of differences below with a reason.

#include "media/gif_reader.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "support/cli_runner.h"
#include "support/device_fixtures.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

using namespace tovi;

namespace {

const QString suite = QStringLiteral(TOVI_FIXTURES "/gif-test-suite/");

QByteArray contents(const QString& name) {
    QFile file(suite + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A .conf: its sections by name, each a map of keys to values.
using Conf = std::map<QString, std::map<QString, QString>>;

Conf readConf(const QString& name) {
    Conf conf;
    QString section;
    for (const QByteArray& raw : contents(name + QStringLiteral(".conf")).split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else if (const auto equals = line.indexOf(QLatin1Char('=')); equals > 0)
            conf[section][line.left(equals).trimmed()] = line.mid(equals + 1).trimmed();
    }
    return conf;
}

// Where we knowingly show a file otherwise than the suite. `shown[k]` is our frame that shows
// the suite's frame k; `delays` our frames' centiseconds where the suite gives none or merges.
struct Difference {
    const char* file;
    const char* reason;
    int frames = -1; // ours, when not the suite's count
    std::vector<int> shown = {};
    std::vector<int> delays = {};
    bool noLoopCount = false;        // the suite's loop count is not in the file
    std::optional<QRgb> corner = {}; // our first frame's top left pixel, where the suite has none
};

const Difference differences[] = {
    {"animation-zero-delays",
     "a declared zero delay counts the shortest, 0.02 s; browsers force 0.1 s",
     -1,
     {},
     {2, 2, 2, 2}},
    {"transparent", "the declared zero delay counts 0.02 s", -1, {}, {2}},
    {"invalid-transparent", "the declared zero delay counts 0.02 s", -1, {}, {2}},
    {"disabled-transparent", "the declared zero delay counts 0.02 s", -1, {}, {2}},
    {"images-combine",
     "every image is a frame, as browsers play it; the suite merges images without a delay",
     4,
     {3}},
    {"images-overlap", "every image is a frame; the last is the suite's picture", 2, {1}},
    {"high-color", "every image is a frame; the last is the suite's picture", 4, {3}},
    {"animation-multi-image",
     "an image without its own delay is a frame of 0.1 s, not part of the one before",
     7,
     {0, 2, 4, 6},
     {50, 10, 50, 10, 50, 10, 50}},
    {"dispose-restore-previous",
     "the first image, without a delay, is a frame of 0.1 s, not part of the one after",
     5,
     {1, 2, 3, 4},
     {10, 50, 50, 50, 50}},
    {"gif87a-animation",
     "the loop the suite gives is not in the file (GIF87a has no extensions); its images are "
     "frames of 0.1 s, as browsers force them",
     -1,
     {},
     {},
     true},
    {"animation-multi-image-explicit-zero-delay",
     "an image with a zero delay is a frame of 0.02 s, not part of the one after",
     7,
     {0, 2, 4, 6},
     {50, 2, 50, 2, 50, 2, 50}},
    {"invalid-colors",
     "an index past the colour table is drawn black (the table is padded); the suite refuses "
     "the file",
     1,
     {},
     {},
     false,
     qRgb(0, 0, 0)},
    {"plain-text", "the picture after the plain-text block is shown; its text is drawn by nobody",
     1},
};

const Difference* differenceFor(const QString& name) {
    for (const Difference& difference : differences)
        if (name == QLatin1String(difference.file))
            return &difference;
    return nullptr;
}

std::vector<std::string> suiteFiles() {
    std::vector<std::string> names;
    for (const QByteArray& line : contents(QStringLiteral("TESTS")).split('\n'))
        if (!line.isEmpty())
            names.push_back(line.toStdString());
    return names;
}

// What ImageSource gives for a file, or nothing when it is refused as unreadable or oversized.
std::unique_ptr<ImageSource> imported(const QByteArray& bytes) {
    try {
        return ImageSource::fromData(bytes);
    } catch (const MediaError& error) {
        EXPECT_TRUE(error.kind() == MediaError::unreadable ||
                    error.kind() == MediaError::oversized);
        return nullptr;
    }
}

// The first pixel that differs from the suite's RGBA bytes; transparent pixels compare by alpha
// alone.
QString firstDifference(const QImage& frame, const QByteArray& expected) {
    const QImage rgba = frame.convertToFormat(QImage::Format_RGBA8888);
    if (expected.size() != qsizetype(rgba.width()) * rgba.height() * 4)
        return QStringLiteral("expected %1 bytes").arg(expected.size());
    for (int y = 0; y < rgba.height(); ++y)
        for (int x = 0; x < rgba.width(); ++x) {
            const uchar* ours = rgba.constScanLine(y) + 4 * x;
            const auto* theirs =
                reinterpret_cast<const uchar*>(expected.constData()) + 4 * (y * rgba.width() + x);
            if (theirs[3] == 0 ? ours[3] != 0 : std::memcmp(ours, theirs, 4) != 0)
                return QStringLiteral("(%1, %2): %3 for %4")
                    .arg(x)
                    .arg(y)
                    .arg(QString::fromLatin1(
                             QByteArray(reinterpret_cast<const char*>(ours), 4).toHex()),
                         QString::fromLatin1(
                             QByteArray(reinterpret_cast<const char*>(theirs), 4).toHex()));
        }
    return {};
}

class GifSuite : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(GifSuite, ReadAsTheSuiteSaysOrOnTheListOfDifferences) {
    const QString name = QString::fromStdString(GetParam());
    const Conf conf = readConf(name);
    const auto& config = conf.at(QStringLiteral("config"));
    const QStringList suiteFrames =
        config.at(QStringLiteral("frames")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const Difference* difference = differenceFor(name);
    if (difference)
        RecordProperty("difference", difference->reason);
    const QByteArray bytes = contents(config.at(QStringLiteral("input")));
    ASSERT_FALSE(bytes.isEmpty());
    const auto source = imported(bytes);
    const int frames =
        difference && difference->frames >= 0 ? difference->frames : int(suiteFrames.size());
    if (frames == 0) {
        EXPECT_EQ(source, nullptr) << "the suite shows nothing";
        return;
    }
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->size(), QSize(config.at(QStringLiteral("width")).toInt(),
                                    config.at(QStringLiteral("height")).toInt()));
    ASSERT_EQ(source->frameCount(), frames);
    if (difference && difference->corner) {
        EXPECT_EQ(source->frame(0).pixel(0, 0), *difference->corner);
    }

    std::vector<int> delays(size_t(frames), GifTiming::missingCentiseconds);
    for (qsizetype k = 0; k < suiteFrames.size(); ++k) {
        const int ours = difference && !difference->shown.empty() ? difference->shown[size_t(k)]
                         : suiteFrames.size() == frames           ? int(k)
                                                                  : -1;
        if (ours < 0)
            continue; // the suite refuses what we show: the list says why
        const auto& frame = conf.at(suiteFrames[k]);
        if (const auto delay = frame.find(QStringLiteral("delay")); delay != frame.end())
            delays[size_t(ours)] = GifTiming::frameCentiseconds(delay->second.toInt());
        const QString failure = firstDifference(source->frame(ours, 1 << 16),
                                                contents(frame.at(QStringLiteral("pixels"))));
        EXPECT_TRUE(failure.isEmpty()) << "frame " << ours << " at " << failure.toStdString();
    }
    if (difference && !difference->delays.empty())
        delays = difference->delays;
    for (int i = 0; i < frames; ++i)
        EXPECT_DOUBLE_EQ(source->delay(i), delays[size_t(i)] / 100.0) << "frame " << i;

    GifReader::MemoryInput input(bytes);
    const auto walked = GifReader::walk(input, GifReader::Strictness::lenient);
    ASSERT_TRUE(walked);
    const QString loops = config.at(QStringLiteral("loop-count"));
    if (difference && difference->noLoopCount)
        EXPECT_EQ(walked->loops, std::nullopt);
    else
        EXPECT_EQ(walked->loops, loops == QLatin1String("infinite") ? std::optional(0)
                                 : loops.toInt() == 0               ? std::nullopt
                                                                    : std::optional(loops.toInt()));
}

INSTANTIATE_TEST_SUITE_P(Files, GifSuite, ::testing::ValuesIn(suiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// "Na Tovi" reads the same files with the same reader: what it lists is what an import shows.
TEST(GifSuite, TheDeviceListingAgreesWithTheImport) {
    QTemporaryDir device;
    test::makeDevice(device.path());
    const std::vector<std::string> files = suiteFiles();
    ASSERT_EQ(files.size(), 84u);
    for (const std::string& name : files)
        test::writeFile(device.filePath(QStringLiteral("Photo1/%1.gif").arg(name.c_str())),
                        contents(QString::fromStdString(name) + QStringLiteral(".gif")));
    const test::CliResult result = test::runTovi({QStringLiteral("ls"), QStringLiteral("--device"),
                                                  device.path(), QStringLiteral("--json")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    const QJsonArray pictures =
        QJsonDocument::fromJson(result.out.toUtf8())
            .object()[QStringLiteral("albums")][0][QStringLiteral("pictures")]
            .toArray();
    ASSERT_EQ(size_t(pictures.size()), files.size());
    for (const QJsonValue& picture : pictures) {
        const QString name = picture[QStringLiteral("name")].toString();
        const auto source = imported(contents(name));
        if (!source) {
            EXPECT_NE(picture[QStringLiteral("kind")], QStringLiteral("gif")) << name.toStdString();
            continue;
        }
        double duration = 0;
        for (int i = 0; i < source->frameCount(); ++i)
            duration += source->delay(i);
        EXPECT_EQ(picture[QStringLiteral("kind")], QStringLiteral("gif")) << name.toStdString();
        EXPECT_EQ(picture[QStringLiteral("frames")].toInt(), source->frameCount())
            << name.toStdString();
        EXPECT_NEAR(picture[QStringLiteral("duration")].toDouble(), duration, 1e-9)
            << name.toStdString();
    }
}
