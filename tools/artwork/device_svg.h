#pragma once

#include <QByteArray>

namespace tovi::artwork {

enum class CaseColour { silver, black };

// The round display in the device picture's 1946 × 2104 units: where the preview lays its
// display (a 0.512 W × 0.472 H frame moved 0.09 W right and 0.085 H down), as the largest
// circle of that frame.
struct DisplayDisc {
    double cx;
    double cy;
    double r;
};
DisplayDisc displayDisc();

// The SVG of the device front in one case colour.
QByteArray deviceSvg(CaseColour colour);

} // namespace tovi::artwork
