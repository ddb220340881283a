#include "cli_runner.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace tovi::test {

CliResult runTovi(const QStringList& arguments, const QString& dataHome) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!dataHome.isEmpty())
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TOVI_TOVI_BINARY), arguments);
    CliResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

CliResult runToviOk(const QStringList& arguments, const QString& dataHome) {
    CliResult result = runTovi(arguments, dataHome);
    EXPECT_EQ(result.status, 0) << "tovi " << arguments.join(u' ').toStdString() << ": "
                                << result.err.toStdString();
    return result;
}

} // namespace tovi::test
