#include "animations.h"
#include "paint_kit.h"

#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cmath>
#include <numbers>

namespace tovi::artwork {
namespace {

constexpr double pi = std::numbers::pi;
constexpr int frameCount = 36;
constexpr double fps = 12;
constexpr double loopSeconds = frameCount / fps;
constexpr double beatsPerSecond = 2; // six beats to the loop, so every motion closes on itself

const QColor ink = rgb(0x26262b);
const QColor fur = rgb(0xfdfcf8);
const QColor furShade = rgb(0xe4e1da);
const QColor coral = rgb(0xff6f61);

QPainterPath ellipse(QPointF centre, double rx, double ry) {
    QPainterPath path;
    path.addEllipse(centre, rx, ry);
    return path;
}

void background(QPainter& p, double beat) {
    QRadialGradient sky(QPointF(120, 110), 170);
    sky.setColorAt(0, rgb(0xf3fbf6));
    sky.setColorAt(0.55, rgb(0xc9eedf));
    sky.setColorAt(1, rgb(0x8fd3c0));
    p.fillRect(QRectF(0, 0, screenSide, screenSide), sky);

    // A ring leaves the panda on every beat, like sound from a speaker.
    const double phase = beat - std::floor(beat);
    p.setBrush(Qt::NoBrush);
    for (const double age : {phase, phase + 1}) {
        const double radius = 70 + 26 * age;
        p.setPen(QPen(withAlpha(Qt::white, 0.55 * (1 - age / 2)), 5 - 2 * age));
        p.drawEllipse(QPointF(120, 112), radius, radius);
    }
}

void body(QPainter& p, double bob) {
    const QPointF centre(120, 214 + bob * 0.5);
    QRadialGradient shade(centre + QPointF(-14, -24), 80);
    shade.setColorAt(0, fur);
    shade.setColorAt(0.7, fur);
    shade.setColorAt(1, furShade);
    p.setPen(QPen(ink, 2.5));
    p.setBrush(shade);
    p.drawPath(ellipse(centre, 64, 52));
}

// An arm from the shoulder, `degrees` clockwise from pointing straight down.
void arm(QPainter& p, QPointF shoulder, double degrees, double length) {
    p.save();
    p.translate(shoulder);
    p.rotate(degrees);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(-12, -10, 24, length + 10), 12, 12);
    p.drawEllipse(QPointF(0, length - 4), 14, 13);
    // The paw pad shows on the waving hand.
    p.setBrush(rgb(0x55545c));
    p.drawEllipse(QPointF(0, length - 5), 6.5, 5.5);
    p.restore();
}

void eye(QPainter& p, QPointF centre, double side, bool closed) {
    // The patches droop outwards, the panda's own sad-sweet look.
    p.save();
    p.translate(centre);
    p.rotate(side * -28);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(0, 0), 14, 19);
    p.restore();

    const QPointF pupil = centre + QPointF(-side * 1.5, -1);
    if (closed) {
        QPainterPath lid;
        lid.moveTo(pupil + QPointF(-6, 0));
        lid.quadTo(pupil + QPointF(0, 5), pupil + QPointF(6, 0));
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(lid);
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(pupil, 7.5, 8);
    p.setBrush(rgb(0x111114));
    p.drawEllipse(pupil + QPointF(side * 0.8, 1), 5.2, 5.8);
    p.setBrush(Qt::white);
    p.drawEllipse(pupil + QPointF(side * 0.8 - 1.8, -1.4), 2.1, 2.1);
}

void head(QPainter& p, bool blinking) {
    // Ears behind the head.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(76, 56), 19, 18);
    p.drawEllipse(QPointF(164, 56), 19, 18);

    QRadialGradient shade(QPointF(108, 84), 78);
    shade.setColorAt(0, fur);
    shade.setColorAt(0.75, fur);
    shade.setColorAt(1, furShade);
    p.setPen(QPen(ink, 2.5));
    p.setBrush(shade);
    p.drawPath(ellipse(QPointF(120, 104), 64, 56));

    eye(p, QPointF(96, 104), -1, blinking);
    eye(p, QPointF(144, 104), 1, blinking);

    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(rgb(0xff8a95), 0.45));
    p.drawEllipse(QPointF(80, 126), 9, 5.5);
    p.drawEllipse(QPointF(160, 126), 9, 5.5);

    QPainterPath nose;
    nose.moveTo(112, 118);
    nose.cubicTo(112, 114, 128, 114, 128, 118);
    nose.cubicTo(128, 122, 122, 126, 120, 126);
    nose.cubicTo(118, 126, 112, 122, 112, 118);
    p.setBrush(ink);
    p.drawPath(nose);

    QPainterPath mouth;
    mouth.moveTo(111, 130);
    mouth.quadTo(115.5, 135, 120, 129);
    mouth.quadTo(124.5, 135, 129, 130);
    p.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mouth);
}

void headphones(QPainter& p) {
    QPainterPath band;
    band.moveTo(58, 104);
    band.cubicTo(54, 28, 186, 28, 182, 104);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(mix(coral, ink, 0.35), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(band);
    p.setPen(QPen(coral, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(band);

    for (const double side : {-1.0, 1.0}) {
        const QPointF cup(120 + side * 62, 106);
        p.setPen(QPen(ink, 2));
        p.setBrush(coral);
        p.drawRoundedRect(QRectF(cup.x() - 11, cup.y() - 19, 22, 38), 10, 10);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(Qt::white, 0.45));
        p.drawRoundedRect(QRectF(cup.x() - 6 + side * 1, cup.y() - 14, 5, 16), 2.5, 2.5);
    }
}

// An eighth note or two beamed ones, head at the origin.
QPainterPath note(bool beamed) {
    QPainterPath path;
    const auto addHead = [&path](QPointF at) {
        QPainterPath headShape;
        headShape.addEllipse(QPointF(0, 0), 5.6, 4.2);
        path.addPath(QTransform().translate(at.x(), at.y()).rotate(-22).map(headShape));
        path.addRect(QRectF(at.x() + 3.6, at.y() - 20, 2.2, 20));
    };
    addHead(QPointF(0, 0));
    if (beamed) {
        addHead(QPointF(13, -3));
        QPainterPath beam;
        beam.moveTo(3.6, -20);
        beam.lineTo(18.8, -23);
        beam.lineTo(18.8, -18);
        beam.lineTo(3.6, -15);
        beam.closeSubpath();
        path.addPath(beam);
    } else {
        QPainterPath flag;
        flag.moveTo(5.8, -20);
        flag.cubicTo(7, -14, 14, -13, 12, -5);
        flag.cubicTo(12, -11, 8, -13, 5.8, -14);
        flag.closeSubpath();
        path.addPath(flag);
    }
    return path.simplified();
}

void notes(QPainter& p, double seconds) {
    constexpr int count = 6;
    constexpr double life = 1.6;
    const std::array colours{rgb(0xff6f61), rgb(0x7b61ff), rgb(0x1f9e89),
                             rgb(0xf2a516), rgb(0xe0529c), rgb(0x3d8bfd)};
    for (int k = 0; k < count; ++k) {
        const double start = loopSeconds * k / count;
        const double age = std::fmod(seconds - start + loopSeconds, loopSeconds);
        if (age >= life)
            continue;
        const double t = age / life;
        const double side = k % 2 == 0 ? -1 : 1;
        const QPointF from(120 + side * 72, 98);
        const QPointF at = from + QPointF(side * 12 * t + 4 * std::sin(t * 2 * pi), -56 * t);
        const double alpha = std::min({1.0, age / 0.2, (life - age) / 0.35});
        p.save();
        p.translate(at);
        p.rotate(side * 12 * std::sin(t * 3 * pi));
        p.scale(1.1 + 0.4 * t, 1.1 + 0.4 * t);
        p.setPen(QPen(withAlpha(Qt::white, 0.8 * alpha), 2.5, Qt::SolidLine, Qt::RoundCap,
                      Qt::RoundJoin));
        p.setBrush(withAlpha(colours[static_cast<size_t>(k)], alpha));
        p.drawPath(note(k % 3 == 1));
        p.restore();
    }
}

} // namespace

Animation pandaAnimation() {
    Animation animation;
    for (int i = 0; i < frameCount; ++i) {
        const double seconds = i / fps;
        const double beat = seconds * beatsPerSecond;
        // Down on the beat, up between beats; the head sways left and right over two beats.
        const double bob = 4 * std::pow(std::sin(pi * beat), 2) - 2;
        const double sway = 5 * std::sin(pi * beat);
        const double wave = 22 * std::sin(2 * pi * seconds);
        const bool blinking = i == 25 || i == 26;

        animation.frames.push_back(supersampledFrame([&](QPainter& p) {
            background(p, beat);
            // Drawn a little smaller than designed, so the notes have room inside the round
            // screen.
            p.save();
            p.translate(120, 170);
            p.scale(0.88, 0.88);
            p.translate(-120, -170);
            body(p, bob);
            arm(p, QPointF(84, 178 + bob * 0.5), -24 + sway * 0.6, 34);
            arm(p, QPointF(164, 176 + bob * 0.5), -140 + wave, 44);
            p.save();
            p.translate(120, 150 - bob);
            p.rotate(sway);
            p.translate(-120, -150);
            head(p, blinking);
            headphones(p);
            p.restore();
            p.restore();
            notes(p, seconds);
        }));
        animation.delays.push_back(1 / fps);
    }
    return animation;
}

} // namespace tovi::artwork
