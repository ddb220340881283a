#pragma once

#include <QCommandLineParser>
#include <QTextStream>

// What the commands share: the error stream and reading number options.
namespace tovi::cli {

// Standard error; every command writes its Polish messages here.
QTextStream& err();

// Leaves `value` as it is when the option is absent. Reports a Polish error and returns false
// when the option is not a finite number.
bool readNumber(const QCommandLineParser& parser, const char* name, double& value);

} // namespace tovi::cli
