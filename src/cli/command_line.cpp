#include "command_line.h"

#include "cli_support.h"

#include <QTextStream>
#include <algorithm>

namespace tovi::cli {

namespace {

const QCommandLineOption& helpOption() {
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("pokazuje tę pomoc"));
    return option;
}

// "-o, --output OUT"; a lone one-letter name is written long ("--x X"), as the usage shows it.
QString spelled(const QCommandLineOption& option) {
    const QStringList names = option.names();
    QStringList written;
    for (const QString& name : names)
        written << (name.size() == 1 && names.size() > 1 ? QStringLiteral("-")
                                                         : QStringLiteral("--")) +
                       name;
    QString text = written.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QLatin1Char(' ') + option.valueName();
    return text;
}

} // namespace

CommandLine::CommandLine(QString usage, QStringList arguments)
    : m_usage(std::move(usage))
    , m_arguments(std::move(arguments)) {
    m_parser.addOption(helpOption());
}

void CommandLine::add(const QList<QCommandLineOption>& options) {
    m_parser.addOptions(options);
    m_options += options;
}

std::optional<int> CommandLine::parse(qsizetype least, qsizetype most) {
    const bool parsed = m_parser.parse(QStringList{QStringLiteral("tovi")} + m_arguments);
    if (m_parser.isSet(helpOption())) {
        QTextStream(stdout) << help();
        return 0;
    }
    if (!parsed)
        return usageError(m_parser.errorText());
    m_positional = m_parser.positionalArguments();
    if (m_positional.size() < least || (most >= 0 && m_positional.size() > most))
        return usageError();
    return std::nullopt;
}

bool CommandLine::isSet(const char* name) const {
    return m_parser.isSet(QString::fromLatin1(name));
}

QString CommandLine::value(const char* name) const {
    return m_parser.value(QString::fromLatin1(name));
}

int CommandLine::usageError(const QString& problem) const {
    if (!problem.isEmpty())
        err() << "tovi: " << problem << '\n';
    err() << "Użycie: tovi " << m_usage << '\n' << Qt::flush;
    return 2;
}

QString CommandLine::help() const {
    const QList<QCommandLineOption> all = m_options + QList{helpOption()};
    qsizetype width = 0;
    for (const QCommandLineOption& option : all)
        width = std::max(width, spelled(option).size());
    QString text = QStringLiteral("Użycie: tovi ") + m_usage + QStringLiteral("\n\nOpcje:\n");
    for (const QCommandLineOption& option : all)
        text += QStringLiteral("  ") + spelled(option).leftJustified(width + 2) +
                option.description() + QLatin1Char('\n');
    return text;
}

} // namespace tovi::cli
