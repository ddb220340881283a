// The shipped animations: the tutorial's two GIFs and the factory dice that a restore installs,
// checked on the real resource files.
#include "app/resource_bundle.h"
#include "device/game1_installer.h"
#include "media/image_source.h"
#include "support/gif_summary.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace tovi;

namespace {

QByteArray gifResource(const QString& name) {
    const auto path = ResourceBundle::main().url(name, QStringLiteral("gif"));
    if (!path)
        return {};
    QFile file(*path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString factoryCard(int face) {
    return QStringLiteral("original-game1-%1").arg(face);
}

double luminance(QRgb pixel) {
    return 0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel);
}

// The dark spots inside the bright die: the pips of the face turned to the viewer. The die is
// found as the box of bright pixels; its rim is left out, where the top face shows edge-on.
int pipsOnTheFace(const QImage& frame) {
    const int w = frame.width(), h = frame.height();
    int left = w, top = h, right = -1, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (luminance(frame.pixel(x, y)) > 200) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0)
        return 0;
    const int insetX = (right - left) / 6, insetY = (bottom - top) / 6;
    const QRect face(QPoint(left + insetX, top + insetY), QPoint(right - insetX, bottom - insetY));

    std::vector<char> seen(static_cast<size_t>(w * h), 0);
    const auto dark = [&](QPoint p) {
        return face.contains(p) && !seen[static_cast<size_t>(p.y() * w + p.x())] &&
               luminance(frame.pixel(p)) < 120;
    };
    int pips = 0;
    for (int y = face.top(); y <= face.bottom(); ++y)
        for (int x = face.left(); x <= face.right(); ++x) {
            if (!dark(QPoint(x, y)))
                continue;
            int area = 0;
            std::vector<QPoint> stack{QPoint(x, y)};
            seen[static_cast<size_t>(y * w + x)] = 1;
            while (!stack.empty()) {
                const QPoint p = stack.back();
                stack.pop_back();
                ++area;
                for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
                    if (dark(p + step)) {
                        seen[static_cast<size_t>((p + step).y() * w + (p + step).x())] = 1;
                        stack.push_back(p + step);
                    }
            }
            if (area >= 60) // a pip, not a speck of dithering
                ++pips;
        }
    return pips;
}

// Share of pixels that differ clearly between two frames of the same size.
double changed(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (std::abs(luminance(a.pixel(x, y)) - luminance(b.pixel(x, y))) > 48)
                ++count;
    return static_cast<double>(count) / (a.width() * a.height());
}

} // namespace

TEST(FactoryDice, FormAValidCardSetThatRollsAndStopsOnSixDifferentFaces) {
    Game1Installer::Files files;
    std::vector<QImage> faces;
    for (int face = 1; face <= 6; ++face) {
        SCOPED_TRACE(factoryCard(face).toStdString());
        const QByteArray bytes = gifResource(factoryCard(face));
        ASSERT_FALSE(bytes.isEmpty()) << "missing from the resources";
        files[QStringLiteral("%1.gif").arg(face)] = bytes;
        EXPECT_LT(bytes.size(), 512 * 1024) << "the installer copies and reads back every card";

        const auto source = ImageSource::fromData(bytes);
        ASSERT_TRUE(source);
        const int last = source->frameCount() - 1;
        EXPECT_GE(last, 6) << "the die rolls in before it stops";
        // The device keeps showing the face until the next click, the tutorial its last frame.
        EXPECT_GE(source->delay(last), 60.0);
        faces.push_back(source->frame(last));
        ASSERT_EQ(faces.back().size(), QSize(240, 240));
        EXPECT_EQ(pipsOnTheFace(faces.back()), face);
    }
    EXPECT_NO_THROW(Game1Installer::validate(files));
    for (size_t a = 0; a < faces.size(); ++a)
        for (size_t b = a + 1; b < faces.size(); ++b)
            EXPECT_GT(changed(faces[a], faces[b]), 0.005) << "faces " << a + 1 << " and " << b + 1;
}

TEST(TutorialAnimations, PlayAsSeamlessLoopsWithTheirOwnDelays) {
    for (const char* name : {"tutorial-karvel-panda", "tutorial-your-example"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = gifResource(QLatin1String(name));
        ASSERT_FALSE(bytes.isEmpty()) << "missing from the resources";
        const auto source = ImageSource::fromData(bytes);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->type(), ImageSource::Type::gif);
        EXPECT_EQ(source->size(), QSize(240, 240));
        ASSERT_GE(source->frameCount(), 2);

        // Every frame carries its delay in the file (the player would fall back to 0.1 s).
        const test::GifSummary summary = test::summarize(bytes);
        EXPECT_EQ(summary.loopCount, 0) << "the tutorial and the device loop it forever";
        for (const int delay : summary.delays())
            EXPECT_GT(delay, 0);
        EXPECT_GE(summary.totalDelay(), 200);
        EXPECT_LE(summary.totalDelay(), 400);

        // From the last frame back to the first is no bigger a step than any other.
        std::vector<QImage> frames;
        for (int i = 0; i < source->frameCount(); ++i) {
            frames.push_back(source->frame(i));
            ASSERT_EQ(frames.back().size(), QSize(240, 240)) << "frame " << i;
        }
        double largestStep = 0;
        for (size_t i = 1; i < frames.size(); ++i)
            largestStep = std::max(largestStep, changed(frames[i - 1], frames[i]));
        EXPECT_LE(changed(frames.back(), frames.front()), largestStep * 1.2);
        EXPECT_GT(largestStep, 0.0) << "it must move";
    }
}
