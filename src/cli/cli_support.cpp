#include "cli_support.h"

#include <cmath>

namespace tovi::cli {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

bool readNumber(const QCommandLineParser& parser, const char* name, double& value) {
    const QString option = QString::fromLatin1(name);
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const double parsed = parser.value(option).toDouble(&ok);
    if (!ok || !std::isfinite(parsed)) {
        err() << "tovi: wartość --" << name << " musi być liczbą.\n";
        return false;
    }
    value = parsed;
    return true;
}

} // namespace tovi::cli
