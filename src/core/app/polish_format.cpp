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

namespace {

// Hundredths of a mebibyte, without trailing zeros.
QString megabytes(qint64 hundredths) {
    return locale().toString(double(hundredths) / 100.0, 'g', 15) + QStringLiteral(" MB");
}

constexpr qint64 mebibyte = qint64(1) << 20;

} // namespace

QString fittingMegabytes(qint64 bytes) {
    return megabytes(bytes * 100 / mebibyte);
}

QString sizeOfLimit(qint64 bytes, qint64 limit) {
    if (bytes <= limit) // a few kilobytes show as a hundredth, never as nothing
        return megabytes(std::max<qint64>(bytes * 100 / mebibyte, bytes > 0)) +
               QStringLiteral(" z ") + limitMegabytes(limit);
    return QStringLiteral("Za duży: ") + megabytes((bytes * 100 + mebibyte - 1) / mebibyte) +
           QStringLiteral(" z ") + limitMegabytes(limit);
}

QString suggestionAtFps(int fps, qint64 bytes) {
    return QStringLiteral("Przy %1 kl./s: %2").arg(fps).arg(fittingMegabytes(bytes));
}

QString suggestionAtLength(double seconds, qint64 bytes) {
    return QStringLiteral("Przy %1: %2").arg(shownSeconds(seconds), fittingMegabytes(bytes));
}

QString speed(double times) {
    return locale().toString(times, 'g', 15) + QStringLiteral(" ×");
}

} // namespace tovi::PolishFormat
