#include "media/media_error.h"
#include "media/media_processor.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <limits>

using namespace tovi;
using MediaProcessor::crop;
using MediaProcessor::cropWindow;

TEST(CropGeometry, WindowFollowsZoomAndPosition) {
    const QSizeF frame(4000, 3000);
    EXPECT_EQ(cropWindow(frame, {1, 0, 0}), QRectF(500, 0, 3000, 3000));
    EXPECT_EQ(cropWindow(frame, {2, 1, -1}), QRectF(2500, 0, 1500, 1500));
    // Out-of-range and non-numbers are clamped where they are used.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(cropWindow(frame, {5, 0, 0}), cropWindow(frame, {3, 0, 0}));
    EXPECT_EQ(cropWindow(frame, {0.5, 0, 0}), cropWindow(frame, {1, 0, 0}));
    EXPECT_EQ(cropWindow(frame, {nan, 0, 0}), cropWindow(frame, {1, 0, 0}));
    EXPECT_EQ(cropWindow(frame, {2, 7, 0}), cropWindow(frame, {2, 1, 0}));
    EXPECT_EQ(cropWindow(frame, {2, -7, 0}), cropWindow(frame, {2, -1, 0}));
    EXPECT_EQ(cropWindow(frame, {2, nan, nan}), cropWindow(frame, {2, -1, -1}));
    // A square frame at zoom 1 has nowhere to move.
    EXPECT_EQ(cropWindow({800, 800}, {1, 0.7, -0.4}), QRectF(0, 0, 800, 800));
}

TEST(Crop, OutputIsAnOpaqueSquareWhateverTheSource) {
    for (QSize size : {QSize(4000, 3000), QSize(30, 500), QSize(7, 7)}) {
        QImage source(size, QImage::Format_ARGB32);
        source.fill(qRgba(10, 20, 30, 255));
        const QImage out = crop(source, {}, 240);
        EXPECT_EQ(out.size(), QSize(240, 240));
        EXPECT_EQ(out.format(), QImage::Format_RGB32);
        EXPECT_EQ(out.pixel(120, 120), qRgb(10, 20, 30)) << size.width();
    }
    EXPECT_THROW(crop(QImage(), {}, 240), MediaError);
    EXPECT_THROW(crop(QImage(10, 10, QImage::Format_RGB32), {}, 0), MediaError);
}

TEST(Crop, TransparentPartsComeOutWhite) {
    QImage source(100, 100, QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::transparent);
    QPainter(&source).fillRect(0, 0, 50, 100, QColor(0, 0, 255));
    const QImage out = crop(source, {}, 100);
    EXPECT_EQ(out.pixel(10, 50), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(90, 50), qRgb(255, 255, 255));
    // Half-transparent black over white is mid grey.
    source.fill(qRgba(0, 0, 0, 128));
    EXPECT_NEAR(qRed(crop(source, {}, 40).pixel(20, 20)), 127, 1);
}

TEST(Crop, PlacesTheWindowWhereTheGeometrySays) {
    // Four quadrants; zoom 2 at the corners must show exactly one of them.
    QImage source(400, 400, QImage::Format_RGB32);
    QPainter painter(&source);
    painter.fillRect(0, 0, 200, 200, Qt::red);
    painter.fillRect(200, 0, 200, 200, Qt::green);
    painter.fillRect(0, 200, 200, 200, Qt::blue);
    painter.fillRect(200, 200, 200, 200, Qt::yellow);
    painter.end();
    const auto colours = [&](CropSettings settings) {
        const QImage out = crop(source, settings, 60);
        return std::array{out.pixel(0, 0), out.pixel(59, 0), out.pixel(0, 59), out.pixel(59, 59)};
    };
    for (QRgb c : colours({2, -1, -1}))
        EXPECT_EQ(c, QColor(Qt::red).rgb());
    for (QRgb c : colours({2, 1, 1}))
        EXPECT_EQ(c, QColor(Qt::yellow).rgb());
    const auto centre = colours({1, 0, 0});
    EXPECT_EQ(centre[1], QColor(Qt::green).rgb());
    EXPECT_EQ(centre[2], QColor(Qt::blue).rgb());
}

TEST(Crop, FiltersFineDetailIntoEvenTone) {
    // A one-pixel checkerboard must not alias into stripes or moiré at any ratio.
    QImage board(2000, 1333, QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(board.scanLine(y));
        for (int x = 0; x < board.width(); ++x)
            line[x] = (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    for (auto [settings, size] :
         {std::pair{CropSettings{1, 0, 0}, 600}, std::pair{CropSettings{1, 0.3, 0}, 240},
          std::pair{CropSettings{2.37, -0.2, 0.5}, 240}}) {
        const QImage out = crop(board, settings, size);
        int lo = 255, hi = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                lo = std::min(lo, qGreen(out.pixel(x, y)));
                hi = std::max(hi, qGreen(out.pixel(x, y)));
            }
        EXPECT_GE(lo, 118) << size;
        EXPECT_LE(hi, 137) << size;
    }
}

TEST(Crop, EnlargesSmoothly) {
    // A small picture shown large is interpolated, not blown up into blocks.
    QImage source(2, 1, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(0, 0, 0));
    source.setPixel(1, 0, qRgb(200, 200, 200));
    QImage wide(source.scaled(2, 2));
    const QImage out = crop(wide, {}, 100);
    int distinct = 0, previous = -1;
    for (int x = 0; x < 100; ++x) {
        const int v = qRed(out.pixel(x, 50));
        EXPECT_GE(v, previous) << "monotone ramp";
        distinct += v != previous;
        previous = v;
    }
    EXPECT_GT(distinct, 20);
}
