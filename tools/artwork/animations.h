#pragma once

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>
#include <map>
#include <vector>

// The animated resources: the factory panda and a user's example for the tutorial, and the six
// faces of the device's factory dice. Frames are drawn from code, the same on every run.
namespace tovi::artwork {

inline constexpr int screenSide = 240;

// Frames of screenSide × screenSide, opaque, each shown for its delay in seconds.
struct Animation {
    std::vector<QImage> frames;
    std::vector<double> delays;
};

// One frame painted at twice the screen resolution in screenSide-unit coordinates, then scaled
// down: smoother edges than antialiasing alone, and still deterministic.
QImage supersampledFrame(const std::function<void(QPainter&)>& paint);

// A panda with headphones waving and nodding to the beat while notes rise; loops seamlessly.
Animation pandaAnimation();

// A slow zoom into `photo` and back, captioned as a user would; loops seamlessly.
Animation exampleAnimation(const QImage& photo);

// A die rolling in and stopping on `face` (1…6), which it then holds. Throws
// std::invalid_argument for another face.
Animation diceAnimation(int face);

// The eight GIF files by resource file name; `examplePhoto` is the picture the user's example
// zooms into.
std::map<QString, QByteArray> animationFiles(const QImage& examplePhoto);

} // namespace tovi::artwork
