#include "app/polish_format.h"

namespace tovi::PolishFormat {

const QLocale& locale() {
    static const QLocale polish(QLocale::Polish, QLocale::Poland);
    return polish;
}

QString sliderSeconds(double seconds) {
    return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
}

QString shownSeconds(double seconds) {
    return locale().toString(seconds, 'f', 1) + QStringLiteral(" s");
}

QString listedSeconds(double seconds) {
    return locale().toString(seconds, 'f', 2) + QStringLiteral(" s");
}

QString backupDate(const QDateTime& when) {
    return locale().toString(when.toLocalTime(), QStringLiteral("d MMMM yyyy, HH:mm:ss"));
}

QString limitMegabytes(qint64 bytes) {
    return QString::number(bytes >> 20) + QStringLiteral(" MB");
}

} // namespace tovi::PolishFormat
