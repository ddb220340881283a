#include "studio_mode.h"

namespace tovi {

QString rawValue(StudioMode mode) {
    return mode == StudioMode::artwork ? QStringLiteral("Grafika")
                                       : QStringLiteral("Losowane karty");
}

QString subtitle(StudioMode mode) {
    return mode == StudioMode::artwork
               ? QStringLiteral("Zdjęcie, GIF lub fragment filmu na Twój ekran.")
               : QStringLiteral("Sześć grafik. Każde kliknięcie Tovi losuje jedną.");
}

namespace StudioAppearance {

QColor background(bool dark) {
    return QColor::fromRgbF(dark ? 0.12f : 0.95f, dark ? 0.12f : 0.95f, dark ? 0.12f : 0.95f, 1.0f);
}

QColor accent() {
    return QColor::fromRgbF(0.93f, 0.41f, 0.18f, 1.0f);
}

bool isDark(const QString& caseColor) {
    return caseColor == QStringLiteral("black");
}

} // namespace StudioAppearance

} // namespace tovi
