#pragma once

#include <QString>
#include <QStringList>

namespace tovi::test {

struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

inline QString word(const char* text) {
    return QString::fromUtf8(text);
}
inline QString word(const QString& text) {
    return text;
}
// A file under tests/fixtures.
inline QString fixture(const char* name) {
    return QStringLiteral(TOVI_FIXTURES "/") + QString::fromUtf8(name);
}
// A command line of literal words and computed ones alike.
template <typename... Words> QStringList args(const Words&... words) {
    return {word(words)...};
}

// Runs the `tovi` command-line tool, with `dataHome` as its XDG data folder when given.
CliResult runTovi(const QStringList& arguments, const QString& dataHome = {});
// The same, as a failure of the test unless it ends with status 0.
CliResult runToviOk(const QStringList& arguments, const QString& dataHome = {});

} // namespace tovi::test
