#pragma once

#include <QString>
#include <QStringList>

namespace tovi::test {

struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

// Runs the `tovi` command-line tool, with `dataHome` as its XDG data folder when given.
CliResult runTovi(const QStringList& arguments, const QString& dataHome = {});

} // namespace tovi::test
