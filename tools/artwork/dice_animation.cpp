#include "animations.h"
#include "paint_kit.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace tovi::artwork {
namespace {

constexpr double pi = std::numbers::pi;
constexpr int rollingFrames = 12;
constexpr double rollingDelay = 0.08;
// The longest delay a GIF frame holds; the device shows the face until the next click anyway.
constexpr double holdDelay = 655.35;
// Card 6 holds shorter, as the application's own card GIFs do.
constexpr double lastCardHoldDelay = 240;

// World space: x right, y down (as on screen), z towards the viewer. The cube spans ±1.
struct Vec {
    double x, y, z;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(double k, Vec a) {
    return {k * a.x, k * a.y, k * a.z};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec normalised(Vec a) {
    return (1 / std::sqrt(dot(a, a))) * a;
}

struct Mat {
    std::array<Vec, 3> rows;
    Vec operator*(Vec v) const { return {dot(rows[0], v), dot(rows[1], v), dot(rows[2], v)}; }
    Mat operator*(const Mat& m) const {
        const Vec c0{m.rows[0].x, m.rows[1].x, m.rows[2].x};
        const Vec c1{m.rows[0].y, m.rows[1].y, m.rows[2].y};
        const Vec c2{m.rows[0].z, m.rows[1].z, m.rows[2].z};
        Mat out;
        for (size_t r = 0; r < 3; ++r)
            out.rows[r] = {dot(rows[r], c0), dot(rows[r], c1), dot(rows[r], c2)};
        return out;
    }
};

// Rodrigues' formula; `axis` must be a unit vector.
Mat rotation(Vec axis, double radians) {
    const double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    const double x = axis.x, y = axis.y, z = axis.z;
    return {{Vec{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
             Vec{t * x * y + s * z, t * y * y + c, t * y * z - s * x},
             Vec{t * x * z - s * y, t * y * z + s * x, t * z * z + c}}};
}

// A face: its outward normal and the directions its picture's right and down point to.
// Opposite faces add up to seven, as on every die.
struct Face {
    int value;
    Vec normal, right, down;
};
const std::array<Face, 6> faces{{
    {1, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
    {6, {0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    {2, {1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
    {5, {-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {3, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {4, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
}};

// The orientation that turns `face` towards the viewer, upright.
Mat facing(const Face& face) {
    return {{face.right, face.down, face.normal}};
}

const QColor ivory = rgb(0xfbf7ee);
const QColor bevel = rgb(0xcfc4ad);
const QColor pipInk = rgb(0x1c2130);
const QColor pipRed = rgb(0xd7263d);

// Pip centres in the face's own ±1 square.
std::vector<QPointF> pips(int value) {
    constexpr double o = 0.5;
    switch (value) {
    case 1:
        return {{0, 0}};
    case 2:
        return {{o, -o}, {-o, o}};
    case 3:
        return {{o, -o}, {0, 0}, {-o, o}};
    case 4:
        return {{-o, -o}, {o, -o}, {-o, o}, {o, o}};
    case 5:
        return {{-o, -o}, {o, -o}, {0, 0}, {-o, o}, {o, o}};
    default:
        return {{-o, -o}, {o, -o}, {-o, 0}, {o, 0}, {-o, o}, {o, o}};
    }
}

// Where the die is in one frame: its screen centre, half side, height above its resting place
// and orientation.
struct Pose {
    QPointF centre;
    double halfSide;
    double height;
    Mat orientation;
};

constexpr double cameraDistance = 5;
const QPointF restCentre(120, 114);
constexpr double restHalfSide = 68;

QPointF project(const Pose& pose, Vec v) {
    const double k = pose.halfSide * (cameraDistance - 1) / (cameraDistance - v.z);
    return pose.centre + QPointF(v.x * k, v.y * k);
}

// Convex hull of a few points (Andrew's monotone chain).
QPolygonF hull(std::vector<QPointF> points) {
    std::sort(points.begin(), points.end(), [](QPointF a, QPointF b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    const auto turn = [](QPointF o, QPointF a, QPointF b) {
        return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
    };
    std::vector<QPointF> out(2 * points.size());
    size_t k = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && turn(out[k - 2], out[k - 1], points[i]) <= 0)
            --k;
        out[k++] = points[i];
    }
    for (size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && turn(out[k - 2], out[k - 1], points[i - 1]) <= 0)
            --k;
        out[k++] = points[i - 1];
    }
    out.resize(k - 1);
    return QPolygonF(QList<QPointF>(out.begin(), out.end()));
}

void background(QPainter& p) {
    QRadialGradient room(QPointF(120, 96), 190);
    room.setColorAt(0, rgb(0x3b4a7a));
    room.setColorAt(0.5, rgb(0x222b4a));
    room.setColorAt(1, rgb(0x0f1424));
    p.fillRect(QRectF(0, 0, screenSide, screenSide), room);
}

void shadow(QPainter& p, const Pose& pose) {
    const double lift = std::clamp(pose.height / 100, 0.0, 1.0);
    const QPointF at(pose.centre.x(), restCentre.y() + restHalfSide * 0.98);
    const double radius = restHalfSide * (1.25 - 0.35 * lift);
    QRadialGradient soft(QPointF(0, 0), radius);
    soft.setColorAt(0, withAlpha(Qt::black, 0.55 * (1 - 0.7 * lift)));
    soft.setColorAt(0.6, withAlpha(Qt::black, 0.3 * (1 - 0.7 * lift)));
    soft.setColorAt(1, withAlpha(Qt::black, 0));
    p.save();
    p.translate(at);
    p.scale(1, 0.22);
    p.setPen(Qt::NoPen);
    p.setBrush(soft);
    p.drawEllipse(QPointF(0, 0), radius, radius);
    p.restore();
}

void die(QPainter& p, const Pose& pose) {
    const Vec light = normalised({-0.3, -0.55, 0.9});
    const Vec camera{0, 0, cameraDistance};

    // The rounded body: the silhouette of a slightly smaller cube, stroked round. It shows
    // between the faces' rounded corners as the die's bevelled edges.
    constexpr double core = 0.88;
    std::vector<QPointF> corners;
    for (const double x : {-core, core})
        for (const double y : {-core, core})
            for (const double z : {-core, core})
                corners.push_back(project(pose, pose.orientation * Vec{x, y, z}));
    p.setPen(QPen(bevel, 2 * (1 - core) * pose.halfSide * 1.05, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(bevel);
    p.drawPolygon(hull(corners));

    const QPolygonF square({QPointF(-1, -1), QPointF(1, -1), QPointF(1, 1), QPointF(-1, 1)});
    for (const Face& face : faces) {
        const Vec normal = pose.orientation * face.normal;
        if (dot(normal, camera - normal) <= 0)
            continue;
        const Vec right = pose.orientation * face.right;
        const Vec down = pose.orientation * face.down;
        QPolygonF quad;
        for (const QPointF& c : square)
            quad << project(pose, normal + c.x() * right + c.y() * down);
        QTransform onFace;
        if (!QTransform::quadToQuad(square, quad, onFace))
            continue; // seen exactly edge-on
        p.save();
        p.setTransform(onFace, true);
        p.setPen(Qt::NoPen);
        const QRectF plate(-0.95, -0.95, 1.9, 1.9);
        p.setBrush(ivory);
        p.drawRoundedRect(plate, 0.3, 0.3);
        const bool single = face.value == 1;
        p.setBrush(single ? pipRed : pipInk);
        for (const QPointF& pip : pips(face.value))
            p.drawEllipse(pip, single ? 0.3 : 0.2, single ? 0.3 : 0.2);
        // Faces turned from the light darken; the one facing it gets a faint sheen.
        const double lit = std::max(0.0, dot(normal, light));
        p.setBrush(withAlpha(rgb(0x101425), 0.7 * std::pow(1 - lit, 1.3)));
        p.drawRoundedRect(plate, 0.3, 0.3);
        QRadialGradient sheen(QPointF(-0.5, -0.6), 1.6);
        sheen.setColorAt(0, withAlpha(Qt::white, 0.35 * lit * lit));
        sheen.setColorAt(1, withAlpha(Qt::white, 0));
        p.setBrush(sheen);
        p.drawRoundedRect(plate, 0.3, 0.3);
        p.restore();
    }
}

// Height above the resting place at time u (0…1): dropped from the top of the first arc, then
// smaller and smaller bounces.
double height(double u) {
    constexpr std::array<double, 4> impacts{0.34, 0.64, 0.85, 1.0};
    constexpr std::array<double, 3> arcs{34, 11, 3};
    if (u < impacts[0]) {
        const double s = u / impacts[0];
        return 95 * (1 - s * s);
    }
    for (size_t k = 0; k + 1 < impacts.size(); ++k)
        if (u < impacts[k + 1]) {
            const double s = (u - impacts[k]) / (impacts[k + 1] - impacts[k]);
            return arcs[k] * 4 * s * (1 - s);
        }
    return 0;
}

Pose pose(int face, double u) {
    const Face& target = *std::find_if(faces.begin(), faces.end(),
                                       [face](const Face& f) { return f.value == face; });
    Rng rng(0xd1ce0000u + static_cast<std::uint64_t>(face));
    const double direction = face % 2 == 1 ? 1 : -1; // alternate sides, so the set varies
    const double tumble = rng.uniform(0.55, 1.0) * (rng.next() % 2 == 0 ? 1 : -1);
    const Vec axis = normalised({tumble, rng.uniform(-0.35, 0.35), direction});
    const double turns = rng.uniform(1.1, 1.5);

    // Rolling without slipping: the turn follows the distance covered, both easing out.
    const double travel = std::min(1.0, u / 0.86);
    const double covered = 1 - std::pow(1 - travel, 2.4);
    const double roll = -direction * turns * 2 * pi * (1 - covered);
    // After rolling, it rocks once on its edge and settles.
    const double rockPhase = std::clamp((u - 0.72) / 0.28, 0.0, 1.0);
    const double rock = 0.16 * std::sin(2 * pi * rockPhase) * (1 - rockPhase);

    // Seen a little from above and from the side, so it reads as a solid on a table.
    const Mat view = rotation({1, 0, 0}, -0.26) * rotation({0, 1, 0}, 0.2 * direction);
    const Mat orientation =
        view * rotation({0, 0, 1}, rock * direction) * rotation(axis, roll) * facing(target);

    const double h = height(u);
    const double startX = 120 - direction * 150;
    return {QPointF(startX + (restCentre.x() - startX) * covered, restCentre.y() - h), restHalfSide,
            h, orientation};
}

} // namespace

Animation diceAnimation(int face) {
    if (face < 1 || face > 6)
        throw std::invalid_argument("a die has faces 1 to 6");
    Animation animation;
    for (int i = 0; i <= rollingFrames; ++i) {
        const Pose at = pose(face, static_cast<double>(i) / rollingFrames);
        animation.frames.push_back(supersampledFrame([&](QPainter& p) {
            background(p);
            shadow(p, at);
            die(p, at);
        }));
        const double hold = face == 6 ? lastCardHoldDelay : holdDelay;
        animation.delays.push_back(i < rollingFrames ? rollingDelay : hold);
    }
    return animation;
}

} // namespace tovi::artwork
