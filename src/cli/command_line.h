#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <optional>

namespace tovi::cli {

// One command's arguments, options and help. The command adds its options, then parses; `--help`
// (or `-h`) anywhere prints the usage and every option in Polish on standard output instead.
class CommandLine {
public:
    // `usage` as after "tovi ", for example "frame PLIK --time T -o OUT.png".
    CommandLine(QString usage, QStringList arguments);

    void add(const QList<QCommandLineOption>& options);

    // Empty when the arguments parse with `least`…`most` positional ones (most < 0: no limit).
    // Otherwise the exit status: 0 once the help is printed, 2 once the error and the usage are
    // printed on standard error.
    std::optional<int> parse(qsizetype least, qsizetype most);
    std::optional<int> parse(qsizetype positionals) { return parse(positionals, positionals); }

    // After parse.
    bool isSet(const char* name) const;
    QString value(const char* name) const;
    const QStringList& positional() const { return m_positional; }
    const QCommandLineParser& parser() const { return m_parser; }

    // Prints "tovi: `problem`" (when given) and the usage on standard error; returns 2.
    int usageError(const QString& problem = {}) const;
    QString help() const;

private:
    QString m_usage;
    QStringList m_arguments;
    QStringList m_positional;
    QList<QCommandLineOption> m_options;
    QCommandLineParser m_parser;
};

} // namespace tovi::cli
