#include "polish_count.h"

#include <cstdlib>

namespace tovi::PolishCount {

QString plural(qint64 n, const QString& one, const QString& few, const QString& many) {
    const qint64 magnitude = std::llabs(n);
    if (magnitude == 1)
        return one;
    const qint64 units = magnitude % 10, tens = magnitude % 100;
    return units >= 2 && units <= 4 && (tens < 12 || tens > 14) ? few : many;
}

namespace {
QString counted(qint64 n, const char* one, const char* few, const char* many) {
    return QString::number(n) + QLatin1Char(' ') +
           plural(n, QString::fromUtf8(one), QString::fromUtf8(few), QString::fromUtf8(many));
}
} // namespace

QString frames(qint64 n) {
    return counted(n, "klatka", "klatki", "klatek");
}

QString bytes(qint64 n) {
    return counted(n, "bajt", "bajty", "bajtów");
}

QString files(qint64 n) {
    return counted(n, "plik", "pliki", "plików");
}

QString framesDone(qint64 done, qint64 total) {
    return QString::number(done) + QStringLiteral(" z ") +
           counted(total, "klatki", "klatek", "klatek");
}

} // namespace tovi::PolishCount
