#include "card_art.h"

#include "paint_kit.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace tovi::artwork {
namespace {

constexpr double side = cardSide;
// The motif sits a little above the middle so a caption band never covers it.
const QPointF motif(360, 330);
constexpr double pi = std::numbers::pi;

struct Card {
    const char* emoji;
    QRgb base;   // the card's main colour
    QRgb deep;   // its darker or second colour
    QRgb accent; // highlights
};

using Cards = std::array<Card, 6>;
using Style = void (*)(QPainter&, const Card&, int slot, Rng&);

QPointF polar(QPointF centre, double radius, double degrees) {
    const double a = degrees * pi / 180;
    return centre + QPointF(radius * std::cos(a), radius * std::sin(a));
}

QPainterPath circle(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath wedge(QPointF centre, double radius, double fromDegrees, double spanDegrees) {
    QPainterPath path(centre);
    path.lineTo(polar(centre, radius, fromDegrees));
    path.lineTo(polar(centre, radius, fromDegrees + spanDegrees));
    path.closeSubpath();
    return path;
}

void glow(QPainter& painter, QPointF centre, double radius, const QColor& colour, double alpha) {
    QRadialGradient gradient(centre, radius);
    gradient.setColorAt(0, withAlpha(colour, alpha));
    gradient.setColorAt(0.45, withAlpha(colour, alpha * 0.45));
    gradient.setColorAt(1, withAlpha(colour, 0));
    painter.fillRect(QRectF(0, 0, side, side), gradient);
}

QString emojiOf(const Card& card) {
    return QString::fromUtf8(card.emoji);
}

// Sound waves spreading from a big emoji on a dark, tinted night.
void listening(QPainter& p, const Card& card, int, Rng&) {
    const QColor deep = rgb(card.deep), accent = rgb(card.accent);
    QRadialGradient background(motif, 560);
    background.setColorAt(0, mix(deep, accent, 0.45));
    background.setColorAt(0.5, deep);
    background.setColorAt(1, mix(deep, Qt::black, 0.55));
    p.fillRect(QRectF(0, 0, side, side), background);

    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 9; ++i) {
        const double radius = 190 + i * 40;
        const double fade = 1 - i / 9.0;
        QPen pen(withAlpha(mix(accent, Qt::white, 0.25), 0.7 * fade), 12 - i * 0.9);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QRectF box(motif.x() - radius, motif.y() - radius, 2 * radius, 2 * radius);
        const int span = static_cast<int>((70 - i * 3) * 16);
        p.drawArc(box, -span / 2, span);           // right
        p.drawArc(box, 180 * 16 - span / 2, span); // left
    }
    glow(p, motif, 280, mix(accent, Qt::white, 0.5), 0.6);
    // A pale speaker cone keeps dark emoji (headphones, notes) readable on the night colours.
    QRadialGradient cone(motif - QPointF(30, 40), 230);
    cone.setColorAt(0, mix(accent, Qt::white, 0.85));
    cone.setColorAt(1, mix(accent, Qt::white, 0.45));
    const QPainterPath disc = circle(motif, 168);
    drawShadow(p, disc, QPointF(0, 10), 16, 0.4);
    p.fillPath(disc, cone);
    p.setPen(QPen(withAlpha(Qt::white, 0.7), 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(motif, 168, 168);
    drawEmoji(p, emojiOf(card), motif, 230, 0.3);
}

// A vinyl record on a retro sunburst; the emoji sits on the record's label.
void vinyl(QPainter& p, const Card& card, int, Rng& rng) {
    const QColor base = rgb(card.base), label = rgb(card.deep);
    p.fillRect(QRectF(0, 0, side, side), base);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Qt::white, 0.22));
    for (int i = 0; i < 24; i += 2)
        p.drawPath(wedge(motif, 900, i * 15.0, 15));

    const QPainterPath record = circle(motif, 292);
    drawShadow(p, record, QPointF(0, 16), 18, 0.35);
    QRadialGradient vinylShade(motif, 292);
    vinylShade.setColorAt(0, rgb(0x2a2a2e));
    vinylShade.setColorAt(1, rgb(0x101013));
    p.fillPath(record, vinylShade);
    p.setBrush(Qt::NoBrush);
    for (double r = 158; r < 286; r += 3.2) {
        p.setPen(QPen(withAlpha(rgb(0x8a8a92), rng.uniform(0.06, 0.2)), 1.1));
        p.drawEllipse(motif, r, r);
    }
    QConicalGradient sheen(motif, 45);
    for (const double at : {0.0, 0.5}) {
        sheen.setColorAt(at, withAlpha(Qt::white, 0));
        sheen.setColorAt(at + 0.06, withAlpha(Qt::white, 0.16));
        sheen.setColorAt(at + 0.12, withAlpha(Qt::white, 0));
    }
    sheen.setColorAt(1, withAlpha(Qt::white, 0));
    p.fillPath(record, sheen);

    QRadialGradient labelShade(motif - QPointF(40, 40), 220);
    labelShade.setColorAt(0, mix(label, Qt::white, 0.25));
    labelShade.setColorAt(1, label);
    p.fillPath(circle(motif, 148), labelShade);
    p.setPen(QPen(withAlpha(mix(label, Qt::black, 0.3), 0.6), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(motif, 148, 148);
    p.drawEllipse(motif, 130, 130);
    drawEmoji(p, emojiOf(card), motif, 200, 0.35);
}

// A sun rising over soft hills; the emoji sits on the sun.
void sunrise(QPainter& p, const Card& card, int, Rng&) {
    const QColor top = rgb(card.base), horizon = rgb(card.deep), hills = rgb(card.accent);
    QLinearGradient sky(0, 0, 0, 600);
    sky.setColorAt(0, top);
    sky.setColorAt(1, horizon);
    p.fillRect(QRectF(0, 0, side, side), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Qt::white, 0.18));
    for (int i = 0; i < 18; ++i)
        p.drawPath(wedge(motif, 700, i * 20.0 - 4, 8));
    glow(p, motif, 330, rgb(0xfff3c4), 0.8);
    QRadialGradient sun(motif - QPointF(50, 60), 260);
    sun.setColorAt(0, rgb(0xfff6d5));
    sun.setColorAt(1, rgb(0xffc46b));
    p.fillPath(circle(motif, 182), sun);

    QPainterPath back;
    back.moveTo(0, 560);
    back.cubicTo(180, 470, 330, 560, 470, 520);
    back.cubicTo(580, 490, 660, 500, 720, 470);
    back.lineTo(720, 720);
    back.lineTo(0, 720);
    p.fillPath(back, mix(hills, Qt::white, 0.35));
    QPainterPath front;
    front.moveTo(0, 620);
    front.cubicTo(160, 570, 300, 590, 420, 620);
    front.cubicTo(540, 650, 640, 600, 720, 590);
    front.lineTo(720, 720);
    front.lineTo(0, 720);
    p.fillPath(front, hills);
    drawEmoji(p, emojiOf(card), motif, 230, 0.25);
}

// Squared paper, a white dial and a timer-like progress ring in the card's colour.
void dial(QPainter& p, const Card& card, int slot, Rng&) {
    const QColor accent = rgb(card.base);
    const QColor paper = mix(accent, rgb(0x14161c), 0.72);
    p.fillRect(QRectF(0, 0, side, side), paper);
    for (int i = 0; i <= 18; ++i) {
        p.setPen(QPen(withAlpha(mix(accent, Qt::white, 0.4), i % 4 == 0 ? 0.3 : 0.14),
                      i % 4 == 0 ? 2 : 1.5));
        p.drawLine(QPointF(i * 40, 0), QPointF(i * 40, side));
        p.drawLine(QPointF(0, i * 40), QPointF(side, i * 40));
    }
    static constexpr std::array progress{25 / 60.0, 0.12, 0.9, 0.2, 1.0, 0.66};
    const double fraction = progress[static_cast<size_t>(slot)];
    const QPainterPath face = circle(motif, 212);
    drawShadow(p, face, QPointF(0, 10), 14, 0.2);
    p.fillPath(face, Qt::white);
    p.setPen(QPen(withAlpha(accent, 0.35), 5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 12; ++i)
        p.drawLine(polar(motif, 184, i * 30.0), polar(motif, 198, i * 30.0));

    const double radius = 250;
    const QRectF box(motif.x() - radius, motif.y() - radius, 2 * radius, 2 * radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(mix(accent, Qt::white, 0.3), 0.25), 28, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(box);
    p.setPen(QPen(mix(accent, Qt::white, 0.15), 28, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(box, 90 * 16, -static_cast<int>(std::lround(fraction * 360 * 16)));
    if (fraction < 1) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(polar(motif, radius, -90 + fraction * 360), 20, 20);
    }
    drawEmoji(p, emojiOf(card), motif, 230, 0.2);
}

// Two bold colours split on a slant and a tilted white die carrying the answer.
void die(QPainter& p, const Card& card, int slot, Rng&) {
    const QColor first = rgb(card.base), second = rgb(card.deep);
    p.fillRect(QRectF(0, 0, side, side), first);
    QPainterPath lower;
    lower.moveTo(0, 520);
    lower.lineTo(720, 300);
    lower.lineTo(720, 720);
    lower.lineTo(0, 720);
    p.fillPath(lower, second);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Qt::white, 0.12));
    p.drawEllipse(QPointF(110, 120), 150, 150);
    p.drawEllipse(QPointF(640, 610), 190, 190);

    static constexpr std::array tilt{-7.0, 6.0, -4.0, 7.0, -6.0, 5.0};
    p.save();
    p.translate(motif);
    p.rotate(tilt[static_cast<size_t>(slot)]);
    QPainterPath face;
    face.addRoundedRect(QRectF(-190, -190, 380, 380), 76, 76);
    drawShadow(p, face, QPointF(0, 18), 16, 0.3);
    QLinearGradient shade(0, -190, 0, 190);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(1, rgb(0xeeeef2));
    p.fillPath(face, shade);
    p.setBrush(withAlpha(second, 0.35));
    for (const QPointF pip : {QPointF(-138, -138), QPointF(138, 138)})
        p.drawEllipse(pip, 17, 17);
    drawEmoji(p, emojiOf(card), QPointF(0, 0), 250, 0.2);
    p.restore();
}

// A hiking map: contour lines, a lane, a dashed trail and a round badge with the emoji.
void map(QPainter& p, const Card& card, int, Rng& rng) {
    const QColor accent = rgb(card.base);
    p.fillRect(QRectF(0, 0, side, side), rgb(0x86a878));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rgb(0x9dbb8c), 2.4));
    for (int hill = 0; hill < 3; ++hill) {
        const QPointF centre(rng.uniform(0, side), rng.uniform(0, side));
        const double phase1 = rng.uniform(0, 2 * pi), phase2 = rng.uniform(0, 2 * pi);
        for (int ring = 1; ring <= 8; ++ring) {
            QPainterPath contour;
            for (int step = 0; step <= 120; ++step) {
                const double a = step * 2 * pi / 120;
                const double r =
                    ring * 42 *
                    (1 + 0.16 * std::sin(3 * a + phase1) + 0.08 * std::sin(5 * a + phase2));
                const QPointF point = centre + QPointF(r * std::cos(a), r * std::sin(a));
                step == 0 ? contour.moveTo(point) : contour.lineTo(point);
            }
            p.drawPath(contour);
        }
    }
    QPainterPath lane;
    lane.moveTo(-20, rng.uniform(120, 240));
    lane.cubicTo(250, rng.uniform(150, 300), 480, rng.uniform(40, 160), 740, rng.uniform(60, 200));
    p.setPen(QPen(rgb(0x6f8f63), 34, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(lane);
    p.setPen(QPen(rgb(0xeee6cf), 26, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(lane);

    QPainterPath trail(QPointF(rng.uniform(200, 520), 740));
    trail.cubicTo(rng.uniform(60, 660), 640, rng.uniform(60, 660), 560, motif.x(), motif.y());
    QPen dashes(rgb(0xfffdf6), 11, Qt::CustomDashLine, Qt::RoundCap);
    dashes.setDashPattern({1.6, 2.0});
    p.setPen(dashes);
    p.drawPath(trail);

    const QPainterPath badge = circle(motif, 178);
    drawShadow(p, badge, QPointF(0, 12), 14, 0.25);
    p.fillPath(badge, rgb(0xfffdf6));
    p.setPen(QPen(accent, 14));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(motif, 171, 171);
    drawEmoji(p, emojiOf(card), motif, 220, 0.2);
}

// A postcard road: sky of the hour, a striped sun (or the moon), hills and a road to the horizon.
void road(QPainter& p, const Card& card, int slot, Rng& rng) {
    const QColor top = rgb(card.base), low = rgb(card.deep), sunColour = rgb(card.accent);
    const bool night = slot == 4;
    constexpr double horizon = 470;
    QLinearGradient sky(0, 0, 0, horizon);
    sky.setColorAt(0, top);
    sky.setColorAt(1, low);
    p.fillRect(QRectF(0, 0, side, horizon + 1), sky);
    if (night) {
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 60; ++i) {
            p.setBrush(withAlpha(Qt::white, rng.uniform(0.4, 0.95)));
            const double r = rng.uniform(1.2, 3.2);
            p.drawEllipse(QPointF(rng.uniform(0, side), rng.uniform(0, horizon - 60)), r, r);
        }
    }
    const QPointF sunCentre(360, 320);
    glow(p, sunCentre, 320, sunColour, night ? 0.35 : 0.6);
    QPainterPath sun = circle(sunCentre, 180);
    if (!night)
        for (int i = 0; i < 5; ++i) {
            QPainterPath gap;
            const double y = 380 + i * 24;
            gap.addRect(QRectF(0, y, side, 4 + i * 2.5));
            sun = sun.subtracted(gap);
        }
    QLinearGradient sunShade(0, 140, 0, 500);
    sunShade.setColorAt(0, mix(sunColour, Qt::white, 0.45));
    sunShade.setColorAt(1, sunColour);
    p.fillPath(sun, sunShade);

    QPainterPath hills(QPointF(0, horizon));
    for (int i = 0; i <= 12; ++i)
        hills.lineTo(i * 60.0, horizon - rng.uniform(18, 70) * std::sin(i * pi / 12 + 0.4));
    hills.lineTo(side, horizon + 1);
    hills.closeSubpath();
    p.fillPath(hills, mix(low, rgb(0x30244a), 0.45));

    QLinearGradient ground(0, horizon, 0, side);
    ground.setColorAt(0, night ? rgb(0x1d2a2a) : rgb(0x6fa86a));
    ground.setColorAt(1, night ? rgb(0x0f1818) : rgb(0x3d7a4a));
    p.fillRect(QRectF(0, horizon, side, side - horizon), ground);
    QPainterPath asphalt;
    asphalt.moveTo(345, horizon);
    asphalt.lineTo(375, horizon);
    asphalt.lineTo(700, side);
    asphalt.lineTo(20, side);
    asphalt.closeSubpath();
    p.fillPath(asphalt, night ? rgb(0x24242c) : rgb(0x45434f));
    // Lane dashes grow towards the viewer: equal steps in depth, not in screen space.
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(0xffd65a));
    for (int i = 0; i < 7; ++i) {
        const auto depth = [&](double t) { return horizon + (side - horizon) * (t * t); };
        const double y0 = depth(i / 7.0 + 0.02), y1 = depth(i / 7.0 + 0.08);
        const double w0 = 1 + (y0 - horizon) * 0.05, w1 = 1 + (y1 - horizon) * 0.05;
        QPolygonF dash;
        dash << QPointF(360 - w0, y0) << QPointF(360 + w0, y0) << QPointF(360 + w1, y1)
             << QPointF(360 - w1, y1);
        p.drawPolygon(dash);
    }
    drawEmoji(p, emojiOf(card), sunCentre, 230, 0.3);
}

// A dance floor: coloured spotlight beams, confetti and a glowing emoji.
void disco(QPainter& p, const Card& card, int slot, Rng& rng) {
    const QColor glowColour = rgb(card.accent);
    QRadialGradient background(motif, 600);
    background.setColorAt(0, rgb(card.base));
    background.setColorAt(1, rgb(card.deep));
    p.fillRect(QRectF(0, 0, side, side), background);

    static constexpr std::array<QRgb, 5> lights{0xff4fd8, 0x4fc3ff, 0xffd84f, 0x6bff9f, 0xff7a4f};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        const QPointF source(40 + i * 107, -30);
        const QPointF target = motif + QPointF(rng.uniform(-160, 160), rng.uniform(80, 380));
        const QPointF across = QPointF(target.y() - source.y(), source.x() - target.x());
        const double length = std::hypot(across.x(), across.y());
        const QPointF spread = across * (rng.uniform(50, 90) / length);
        QLinearGradient beam(source, target);
        const QColor colour = rgb(lights[static_cast<size_t>((i + slot) % 5)]);
        beam.setColorAt(0, withAlpha(colour, 0.5));
        beam.setColorAt(1, withAlpha(colour, 0));
        QPolygonF cone;
        cone << source << target + spread << target - spread;
        p.setBrush(beam);
        p.drawPolygon(cone);
    }
    for (int placed = 0; placed < 80;) {
        const QPointF at(rng.uniform(0, side), rng.uniform(0, side));
        const double w = rng.uniform(8, 14), h = rng.uniform(16, 28), turn = rng.uniform(0, 180);
        const QColor colour = rgb(lights[static_cast<size_t>(rng.next() % 5)]);
        if (QLineF(at, motif).length() < 215)
            continue;
        ++placed;
        p.save();
        p.translate(at);
        p.rotate(turn);
        p.setBrush(withAlpha(colour, 0.9));
        if (placed % 3 == 0)
            p.drawEllipse(QPointF(0, 0), w * 0.6, w * 0.6);
        else
            p.drawRect(QRectF(-w / 2, -h / 2, w, h));
        p.restore();
    }
    glow(p, motif, 280, glowColour, 0.75);
    drawEmoji(p, emojiOf(card), motif, 280, 0.4);
}

// A night sky with stars and a crescent moon; a warm light around the emoji.
void night(QPainter& p, const Card& card, int, Rng& rng) {
    QLinearGradient sky(0, 0, 0, side);
    sky.setColorAt(0, rgb(card.base));
    sky.setColorAt(1, rgb(card.deep));
    p.fillRect(QRectF(0, 0, side, side), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 80; ++i) {
        const QPointF at(rng.uniform(0, side), rng.uniform(0, side));
        const double r = rng.uniform(1.0, 3.0);
        p.setBrush(withAlpha(rgb(0xfff4d6), rng.uniform(0.3, 0.9)));
        p.drawEllipse(at, r, r);
    }
    p.setBrush(withAlpha(rgb(0xfff4d6), 0.9));
    for (int i = 0; i < 5; ++i) {
        const QPointF at(rng.uniform(60, 660), rng.uniform(60, 300));
        const double r = rng.uniform(10, 18);
        QPainterPath sparkle(at + QPointF(0, -r));
        sparkle.quadTo(at, at + QPointF(r, 0));
        sparkle.quadTo(at, at + QPointF(0, r));
        sparkle.quadTo(at, at + QPointF(-r, 0));
        sparkle.quadTo(at, at + QPointF(0, -r));
        p.drawPath(sparkle);
    }
    const QPointF moon(575, 135);
    glow(p, moon, 110, rgb(0xfff1c1), 0.35);
    p.fillPath(circle(moon, 46).subtracted(circle(moon + QPointF(-20, -12), 40)), rgb(0xfff1c1));
    glow(p, motif, 290, rgb(card.accent), 0.7);
    drawEmoji(p, emojiOf(card), motif, 260, 0.35);
}

// Watercolour weather: a tinted sky of soft, translucent cloud blots, plus a touch of the
// weather itself (rays, rain streaks, fog bands).
void watercolour(QPainter& p, const Card& card, int slot, Rng& rng) {
    QLinearGradient sky(0, 0, 0, side);
    sky.setColorAt(0, rgb(card.base));
    sky.setColorAt(1, rgb(card.deep));
    p.fillRect(QRectF(0, 0, side, side), sky);
    for (int i = 0; i < 16; ++i) {
        const QPointF at(rng.uniform(-60, side + 60), rng.uniform(-60, side + 60));
        const double r = rng.uniform(90, 230);
        const QColor tint = i % 3 == 0 ? rgb(card.accent) : QColor(Qt::white);
        // Lighter blots low down would wash out the caption band.
        const double strength = 1 - 0.6 * std::clamp(at.y() / side, 0.0, 1.0);
        QRadialGradient blot(at, r);
        blot.setColorAt(0, withAlpha(tint, 0.38 * strength));
        blot.setColorAt(0.7, withAlpha(tint, 0.18 * strength));
        blot.setColorAt(1, withAlpha(tint, 0));
        p.fillRect(QRectF(0, 0, side, side), blot);
    }
    p.setPen(Qt::NoPen);
    if (slot == 0) {
        p.setBrush(withAlpha(Qt::white, 0.22));
        for (int i = 0; i < 12; ++i)
            p.drawPath(wedge(motif, 700, i * 30.0, 12));
    } else if (slot == 2 || slot == 3) {
        p.setPen(
            QPen(withAlpha(Qt::white, slot == 3 ? 0.35 : 0.45), 4, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 46; ++i) {
            const QPointF at(rng.uniform(0, side), rng.uniform(0, side));
            if (QLineF(at, motif).length() < 190)
                continue;
            p.drawLine(at, at + QPointF(-12, 34));
        }
    }
    glow(p, motif, 240, Qt::white, 0.3);
    drawEmoji(p, emojiOf(card), motif, 300, 0.25);
    if (slot == 5) {
        // Fog drifts in front of the cloud as well as behind it.
        QImage fog(cardSide, cardSide, QImage::Format_ARGB32_Premultiplied);
        fog.fill(Qt::transparent);
        QPainter bands(&fog);
        bands.setRenderHint(QPainter::Antialiasing);
        bands.setPen(Qt::NoPen);
        bands.setBrush(withAlpha(Qt::white, 0.4));
        for (int i = 0; i < 8; ++i)
            bands.drawRoundedRect(
                QRectF(rng.uniform(-300, 60), 40 + i * 84, rng.uniform(480, 760), 26), 13, 13);
        bands.end();
        blur(fog, 9);
        p.drawImage(0, 0, fog);
    }
}

struct Pack {
    const char* id;
    Style style;
    Cards cards;
};

const std::array<Pack, 10>& packs() {
    static const std::array<Pack, 10> all{{
        {"listening",
         listening,
         {{{"🎧", 0, 0x151a3c, 0x5b7cfa},
           {"🎶", 0, 0x0e2a2e, 0x3cc6b4},
           {"🔁", 0, 0x2a1442, 0xb06cf0},
           {"💿", 0, 0x2e1b0e, 0xf2a33a},
           {"🔊", 0, 0x3a0f1c, 0xff5a6e},
           {"🤫", 0, 0x1c2232, 0x9aa7bf}}}},
        {"next",
         vinyl,
         {{{"📻", 0xf3d9b1, 0xe0673f, 0},
           {"🔍", 0xcde8e0, 0x2f9c8f, 0},
           {"🎂", 0xf6d1dc, 0xe0537a, 0},
           {"🌍", 0xd6def5, 0x4a66c9, 0},
           {"💌", 0xf7e3a1, 0xe39b1b, 0},
           {"⭐", 0xe4d5f2, 0x8a55c7, 0}}}},
        {"morning",
         sunrise,
         {{{"☕", 0xffb88c, 0xffe2b8, 0xd98f6b},
           {"🪟", 0x9ed8f5, 0xfff0c9, 0x8cc08a},
           {"🥁", 0xff8a65, 0xffd180, 0xd96b5a},
           {"🧘", 0xc5a3e8, 0xffd9bd, 0xa98bc9},
           {"🥐", 0xffc98a, 0xfff3d6, 0xc9a06a},
           {"😴", 0x8fa6d8, 0xf5cfd9, 0x8a8fc0}}}},
        {"focus",
         dial,
         {{{"⏱️", 0xe4572e, 0, 0},
           {"🚶", 0x2a9d8f, 0, 0},
           {"⛰️", 0x6a4c93, 0, 0},
           {"👣", 0xf4a261, 0, 0},
           {"📵", 0x264653, 0, 0},
           {"🎹", 0x3a86ff, 0, 0}}}},
        {"decisions",
         die,
         {{{"👍", 0x3bb273, 0x2a8c57, 0},
           {"✋", 0xe84855, 0xb8323e, 0},
           {"🌙", 0x3d5a98, 0x2b406f, 0},
           {"💬", 0xf9a03f, 0xd9822b, 0},
           {"⚡", 0x7b2cbf, 0x5a189a, 0},
           {"🎲", 0x00a6a6, 0x00797a, 0}}}},
        {"walk",
         map,
         {{{"👈", 0xe76f51, 0, 0},
           {"👉", 0x2a9d8f, 0, 0},
           {"👆", 0xe9a23b, 0, 0},
           {"🌳", 0x43aa8b, 0, 0},
           {"🐌", 0x9c6ade, 0, 0},
           {"🧭", 0xf3722c, 0, 0}}}},
        {"roadtrip",
         road,
         {{{"🥪", 0x4fb3e8, 0xbfe7fa, 0xffe082},
           {"🌻", 0x7cc8f0, 0xfff1c4, 0xffd54f},
           {"🎛️", 0xff9e80, 0xffe0b2, 0xffb74d},
           {"📻", 0x6a4fb5, 0xff8a65, 0xffca28},
           {"🚗", 0x0d1b3d, 0x34467a, 0xf5f0c8},
           {"📸", 0xe8608f, 0xffd180, 0xfff176}}}},
        {"party",
         disco,
         {{{"🪩", 0x34145e, 0x0b0618, 0xb57bff},
           {"🎤", 0x3d1240, 0x0d0512, 0xff5fd2},
           {"🥂", 0x2a1a4a, 0x080614, 0xffd86b},
           {"🎚️", 0x12264d, 0x050a18, 0x4fc3ff},
           {"💞", 0x401530, 0x12050c, 0xff7aa8},
           {"🧸", 0x3a2412, 0x0e0804, 0xffa94f}}}},
        {"evening",
         night,
         {{{"🍵", 0x0b1026, 0x3b1e4d, 0xffc978},
           {"📖", 0x0d1630, 0x2e2350, 0xffd48f},
           {"🕯️", 0x100c24, 0x40203f, 0xffb35c},
           {"🎻", 0x081a2c, 0x23335a, 0xffd9a8},
           {"🛁", 0x0a1a2a, 0x1f3a52, 0xa8e0ff},
           {"🛌", 0x120f2a, 0x2c1f4f, 0xe8c6ff}}}},
        {"weather",
         watercolour,
         {{{"☀️", 0xffe680, 0xe9782a, 0xfff4b8},
           {"🌤️", 0xcfe4f7, 0x5f8fc2, 0xffe8a3},
           {"🌦️", 0xb3c4d6, 0x566e8a, 0x8aa3c0},
           {"⛈️", 0x4a5670, 0x221d33, 0x6c5b7b},
           {"🌈", 0xbff0ee, 0xc4709a, 0xfff3b0},
           {"☁️", 0x7a8896, 0x3c4855, 0xc9d1d8}}}},
    }};
    return all;
}

} // namespace

QStringList packIds() {
    QStringList ids;
    for (const Pack& pack : packs())
        ids << QString::fromLatin1(pack.id);
    return ids;
}

QImage cardArt(const QString& packId, int slot) {
    if (slot < 0 || slot > 5)
        throw std::invalid_argument("slot out of range");
    for (size_t index = 0; index < packs().size(); ++index) {
        const Pack& pack = packs()[index];
        if (packId != QLatin1String(pack.id))
            continue;
        QImage card(cardSide, cardSide, QImage::Format_RGB32);
        card.fill(Qt::black);
        QPainter painter(&card);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        // A fixed seed per card: the same pictures on every run.
        Rng rng(0x70f1ULL * 1000 + index * 10 + static_cast<std::uint64_t>(slot));
        pack.style(painter, pack.cards[static_cast<size_t>(slot)], slot, rng);
        painter.end();
        return card;
    }
    throw std::invalid_argument("unknown pack: " + packId.toStdString());
}

} // namespace tovi::artwork
