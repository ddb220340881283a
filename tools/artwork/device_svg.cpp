#include "device_svg.h"

#include "paint_kit.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace tovi::artwork {
namespace {

constexpr double width = 1946;
constexpr double height = 2104;

// Numbers with at most three decimals and no trailing zeros, so the files stay small and stable.
QString n(double value) {
    QString text = QString::number(value, 'f', 3);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

struct Look {
    const char* bodyStops[4];
    const char* edgeLight;
    const char* edgeDark;
    const char* brush;
    const char* keyTop;
    const char* keyBottom;
    const char* ink;   // wordmark and key symbols
    const char* holes; // speaker grille
};

const Look silver{{"#f5f6f8", "#dadce0", "#c2c5cb", "#e3e5e9"},
                  "#ffffff",
                  "#8d9198",
                  "#ffffff",
                  "#eef0f3",
                  "#b9bdc4",
                  "#6d7179",
                  "#7d828a"};
const Look black{{"#3b3c41", "#1f2023", "#0f1012", "#27282c"},
                 "#5a5c62",
                 "#000000",
                 "#ffffff",
                 "#2e2f33",
                 "#141517",
                 "#9a9da4",
                 "#050506"};

} // namespace

DisplayDisc displayDisc() {
    const double frameWidth = width * 0.512, frameHeight = height * 0.472;
    return {width * 0.09 + frameWidth / 2, height * 0.085 + frameHeight / 2,
            std::min(frameWidth, frameHeight) / 2};
}

QByteArray deviceSvg(CaseColour colour) {
    const Look& look = colour == CaseColour::silver ? silver : black;
    const DisplayDisc disc = displayDisc();
    const double inset = 6, radius = 300;
    QString svg;
    svg +=
        QStringLiteral(
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\" "
            "width=\"1946\" height=\"2104\" viewBox=\"0 0 1946 2104\">\n"
            "<title>Tovi, %1</title>\n<defs>\n")
            .arg(colour == CaseColour::silver ? QStringLiteral("silver") : QStringLiteral("black"));
    svg += QStringLiteral(
               "<linearGradient id=\"body\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">"
               "<stop offset=\"0\" stop-color=\"%1\"/><stop offset=\"0.4\" stop-color=\"%2\"/>"
               "<stop offset=\"0.75\" stop-color=\"%3\"/><stop offset=\"1\" stop-color=\"%4\"/>"
               "</linearGradient>\n")
               .arg(QLatin1String(look.bodyStops[0]), QLatin1String(look.bodyStops[1]),
                    QLatin1String(look.bodyStops[2]), QLatin1String(look.bodyStops[3]));
    svg += QStringLiteral(
        "<radialGradient id=\"bezel\" cx=\"0.4\" cy=\"0.35\" r=\"0.7\">"
        "<stop offset=\"0\" stop-color=\"#2b2d32\"/><stop offset=\"1\" stop-color=\"#08090b\"/>"
        "</radialGradient>\n"
        "<radialGradient id=\"glass\" cx=\"0.45\" cy=\"0.4\" r=\"0.65\">"
        "<stop offset=\"0\" stop-color=\"#16181c\"/><stop offset=\"1\" stop-color=\"#060708\"/>"
        "</radialGradient>\n");
    svg += QStringLiteral(
               "<linearGradient id=\"key\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
               "<stop offset=\"0\" stop-color=\"%1\"/><stop offset=\"1\" stop-color=\"%2\"/>"
               "</linearGradient>\n"
               "<linearGradient id=\"keyRim\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
               "<stop offset=\"0\" stop-color=\"%2\"/><stop offset=\"1\" stop-color=\"%1\"/>"
               "</linearGradient>\n</defs>\n")
               .arg(QLatin1String(look.keyTop), QLatin1String(look.keyBottom));

    // Body with an outer shade line and an inner highlight.
    svg += QStringLiteral(
               "<rect x=\"%1\" y=\"%1\" width=\"%2\" height=\"%3\" rx=\"%4\" fill=\"url(#body)\" "
               "stroke=\"%5\" stroke-width=\"6\"/>\n")
               .arg(n(inset), n(width - 2 * inset), n(height - 2 * inset), n(radius),
                    QLatin1String(look.edgeDark));
    svg +=
        QStringLiteral("<rect x=\"22\" y=\"22\" width=\"%1\" height=\"%2\" rx=\"%3\" fill=\"none\" "
                       "stroke=\"%4\" stroke-opacity=\"0.55\" stroke-width=\"5\"/>\n")
            .arg(n(width - 44), n(height - 44), n(radius - 16), QLatin1String(look.edgeLight));

    // Brushed metal: faint horizontal strokes kept inside the rounded body.
    Rng rng(1946);
    svg += QStringLiteral("<g stroke=\"%1\" stroke-width=\"2\">\n").arg(QLatin1String(look.brush));
    for (double y = 40; y < height - 40; y += 7) {
        const double inner = radius - 16;
        const double top = 22 + inner, bottom = height - 22 - inner;
        double cut = 0;
        if (y < top)
            cut = inner - std::sqrt(std::max(0.0, inner * inner - (top - y) * (top - y)));
        else if (y > bottom)
            cut = inner - std::sqrt(std::max(0.0, inner * inner - (y - bottom) * (y - bottom)));
        svg += QStringLiteral(
                   "<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke-opacity=\"%4\"/>\n")
                   .arg(n(30 + cut), n(y), n(width - 30 - cut), n(rng.uniform(0.03, 0.11)));
    }
    svg += QStringLiteral("</g>\n");

    // Display: a machined bezel ring around plain dark glass (the app draws over the glass).
    svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"none\" stroke=\"%4\" "
                          "stroke-opacity=\"0.8\" stroke-width=\"6\"/>\n")
               .arg(n(disc.cx), n(disc.cy), n(disc.r + 44), QLatin1String(look.edgeLight));
    svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"url(#bezel)\"/>\n")
               .arg(n(disc.cx), n(disc.cy), n(disc.r + 40));
    svg += QStringLiteral(
               "<circle id=\"display\" cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"url(#glass)\"/>\n")
               .arg(n(disc.cx), n(disc.cy), n(disc.r));

    // Wordmark, drawn in strokes so no font is needed.
    const double markY = 1318, markH = 58, letter = 46, gap = 40;
    const double markW = 3 * letter + 3 * gap;
    double x = disc.cx - markW / 2;
    svg += QStringLiteral(
               "<g fill=\"none\" stroke=\"%1\" stroke-width=\"11\" stroke-linecap=\"round\" "
               "stroke-linejoin=\"round\">\n")
               .arg(QLatin1String(look.ink));
    svg += QStringLiteral("<path d=\"M%1 %2H%3M%4 %2V%5\"/>\n")
               .arg(n(x), n(markY), n(x + letter), n(x + letter / 2), n(markY + markH));
    x += letter + gap;
    svg += QStringLiteral("<ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"/>\n")
               .arg(n(x + letter / 2 + 4), n(markY + markH / 2), n(letter / 2 + 4), n(markH / 2));
    x += letter + 8 + gap;
    svg += QStringLiteral("<path d=\"M%1 %2L%3 %4L%5 %2\"/>\n")
               .arg(n(x), n(markY), n(x + letter / 2), n(markY + markH), n(x + letter));
    x += letter + gap;
    svg +=
        QStringLiteral("<path d=\"M%1 %2V%3\"/>\n</g>\n").arg(n(x + 4), n(markY), n(markY + markH));

    // Right column: a status light and the volume keys.
    const double column = 1570;
    svg += QStringLiteral("<circle cx=\"%1\" cy=\"250\" r=\"16\" fill=\"#0b0c0e\"/>\n"
                          "<circle cx=\"%1\" cy=\"250\" r=\"9\" fill=\"#6fe3a0\"/>\n")
               .arg(n(column));
    for (const double y : {460.0, 700.0}) {
        svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"82\" fill=\"url(#keyRim)\"/>\n"
                              "<circle cx=\"%1\" cy=\"%2\" r=\"72\" fill=\"url(#key)\"/>\n")
                   .arg(n(column), n(y));
    }
    svg += QStringLiteral(
               "<path d=\"M%1 460H%2M%3 432V488M%1 700H%2\" stroke=\"%4\" stroke-width=\"9\" "
               "stroke-linecap=\"round\" fill=\"none\"/>\n")
               .arg(n(column - 28), n(column + 28), n(column), QLatin1String(look.ink));

    // Click wheel with its four symbols and the centre key.
    const double wheelY = 1640;
    svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"262\" fill=\"url(#keyRim)\"/>\n"
                          "<circle cx=\"%1\" cy=\"%2\" r=\"250\" fill=\"url(#key)\"/>\n"
                          "<circle cx=\"%1\" cy=\"%2\" r=\"112\" fill=\"url(#keyRim)\"/>\n"
                          "<circle cx=\"%1\" cy=\"%2\" r=\"102\" fill=\"url(#key)\"/>\n")
               .arg(n(column), n(wheelY));
    svg +=
        QStringLiteral("<g fill=\"%1\" stroke=\"%1\" stroke-width=\"8\" stroke-linejoin=\"round\" "
                       "stroke-linecap=\"round\">\n")
            .arg(QLatin1String(look.ink));
    const double top = wheelY - 180, bottom = wheelY + 180, left = column - 180,
                 right = column + 180;
    svg += QStringLiteral("<path fill=\"none\" d=\"M%1 %2H%3M%1 %4H%3M%1 %5H%3\"/>\n")
               .arg(n(column - 30), n(top - 18), n(column + 30), n(top), n(top + 18));
    svg += QStringLiteral(
               "<path d=\"M%1 %2L%3 %4L%1 %5Z\"/><path fill=\"none\" d=\"M%6 %2V%5M%7 %2V%5\"/>\n")
               .arg(n(column - 36), n(bottom - 20), n(column - 6), n(bottom), n(bottom + 20),
                    n(column + 14), n(column + 30));
    svg += QStringLiteral("<path d=\"M%1 %2L%3 %4L%1 %5ZM%3 %2L%6 %4L%3 %5Z\"/>"
                          "<path fill=\"none\" d=\"M%7 %2V%5\"/>\n")
               .arg(n(left + 4), n(wheelY - 18), n(left - 24), n(wheelY), n(wheelY + 18),
                    n(left - 52), n(left - 56));
    svg += QStringLiteral("<path d=\"M%1 %2L%3 %4L%1 %5ZM%3 %2L%6 %4L%3 %5Z\"/>"
                          "<path fill=\"none\" d=\"M%7 %2V%5\"/>\n</g>\n")
               .arg(n(right - 4), n(wheelY - 18), n(right + 24), n(wheelY), n(wheelY + 18),
                    n(right + 52), n(right + 56));

    // Speaker grille, level with the wheel.
    svg += QStringLiteral("<g fill=\"%1\">\n").arg(QLatin1String(look.holes));
    const double grilleX = 640;
    for (int row = -4; row <= 4; ++row)
        for (int col = -7; col <= 7; ++col) {
            const double hx = grilleX + col * 36 + (row % 2 != 0 ? 18 : 0);
            const double hy = wheelY + row * 32;
            // An oval outline of holes rather than a hard-edged block.
            if (std::pow((hx - grilleX) / 290, 2) + std::pow((hy - wheelY) / 150, 2) > 1)
                continue;
            svg += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"8\"/>").arg(n(hx), n(hy));
        }
    svg += QStringLiteral("\n</g>\n</svg>\n");
    return svg.toUtf8();
}

} // namespace tovi::artwork
