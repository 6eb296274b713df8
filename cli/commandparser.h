#pragma once
// One parser for every kaldorctl command line. QCommandLineParser reads the options before the
// command word (main) and each command's own options after it; each option is declared once,
// with its value name. An unknown or misspelt option, an option given twice, a missing or empty
// value, or a value that is itself an option is a usage error before anything is done.

#include "cli/linkcommands.h"

#include <QCommandLineParser>
#include <QSet>

#include <optional>

namespace kaldor::cli {

class CommandParser {
public:
    // The parser of one command's words: `command` names it in messages. --no-offset may stand
    // among them as before the command word; parse() then clears options.offsetMode.
    CommandParser(QString command, GlobalOptions& options);

    // A switch ("--verify"), or with a value name an option that takes one value ("--tank", "N").
    CommandParser& option(const QString& name, const QString& valueName = {});

    // Reads the words after the command word. False after saying why on err.
    bool parse(const QStringList& args, QTextStream& err);

    bool isSet(const QString& name) const;
    // The value given, nullopt when the option was not given.
    std::optional<QString> value(const QString& name) const;
    // The words that are not options, in order.
    const QStringList& words() const { return m_words; }
    const QString& command() const { return m_command; }

private:
    // The name as QCommandLineParser knows it, after checking that it was declared: an option
    // read but never declared is a fault of this program, not of the command line.
    QString declared(const QString& name) const;

    QString m_command;
    GlobalOptions& m_options;
    QCommandLineParser m_parser;
    QSet<QString> m_names;    // every option declared, with its dashes
    QStringList m_valueNames; // those that take a value, in the order declared
    QStringList m_words;
};

// The options that may stand before the command word, read into options. Returns the command
// word and its own words in `rest`, or after --help or --version (printed on out) or a usage
// error (said on err) the exit status in `status`.
struct GlobalCommandLine {
    QString command;
    QStringList rest;
    std::optional<int> status;
};
GlobalCommandLine parseGlobalOptions(const QStringList& arguments, GlobalOptions& options,
                                     const QString& usage, QTextStream& out, QTextStream& err);

} // namespace kaldor::cli
