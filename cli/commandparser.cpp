#include "cli/commandparser.h"

#include "cli/filecommands.h"

namespace kaldor::cli {

namespace {

const QString kNoOffset = QStringLiteral("--no-offset");
const QString kPort = QStringLiteral("--port");
const QString kTrace = QStringLiteral("--trace");
const QString kHelp = QStringLiteral("--help");
const QString kVersion = QStringLiteral("--version");

QString bare(const QString& name)
{
    return name.mid(2);
}

QCommandLineOption declaration(const QString& name, const QString& valueName)
{
    // The help texts are kaldorctl's own (--help); the parser only needs the names.
    return QCommandLineOption(bare(name), QString(), valueName);
}

// What is wrong with the values of a value option, or nothing.
QString valueProblem(const QString& name, const QStringList& values)
{
    if (values.size() > 1) return QStringLiteral("%1 is given twice").arg(name);
    if (values.isEmpty()) return {};
    const QString& v = values.constFirst();
    if (v.trimmed().isEmpty()) return QStringLiteral("%1 needs a value").arg(name);
    // "--backup --verify" would take --verify for the folder and never verify.
    if (v.startsWith(QLatin1String("--")))
        return QStringLiteral("%1 needs a value, not the option %2").arg(name, v);
    return {};
}

} // namespace

CommandParser::CommandParser(QString command, GlobalOptions& options)
    : m_command(std::move(command)), m_options(options)
{
    option(kNoOffset);
}

CommandParser& CommandParser::option(const QString& name, const QString& valueName)
{
    m_parser.addOption(declaration(name, valueName));
    m_names.insert(name);
    if (!valueName.isEmpty()) m_valueNames.append(name);
    return *this;
}

bool CommandParser::parse(const QStringList& args, QTextStream& err)
{
    QString problem;
    if (!m_parser.parse(QStringList{QStringLiteral("kaldorctl")} + args))
        problem = m_parser.errorText();
    for (const QString& name : std::as_const(m_valueNames)) {
        if (problem.isEmpty()) problem = valueProblem(name, m_parser.values(bare(name)));
    }
    m_words = m_parser.positionalArguments();
    if (problem.isEmpty() && m_words.contains(QString()))
        problem = QStringLiteral("an argument is empty");
    if (!problem.isEmpty()) {
        usageError(m_command, problem, err);
        return false;
    }
    if (m_parser.isSet(bare(kNoOffset))) m_options.offsetMode = false;
    return true;
}

QString CommandParser::declared(const QString& name) const
{
    if (!m_names.contains(name))
        qFatal("kaldorctl %s: the option %s is read but was never declared", qPrintable(m_command),
               qPrintable(name));
    return bare(name);
}

bool CommandParser::isSet(const QString& name) const
{
    return m_parser.isSet(declared(name));
}

std::optional<QString> CommandParser::value(const QString& name) const
{
    const QString n = declared(name);
    if (!m_parser.isSet(n)) return std::nullopt;
    return m_parser.value(n);
}

GlobalCommandLine parseGlobalOptions(const QStringList& arguments, GlobalOptions& options,
                                     const QString& usage, QTextStream& out, QTextStream& err)
{
    GlobalCommandLine line;
    QCommandLineParser parser;
    // Everything from the command word on is the command's, read by its own parser.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    for (const QString& name : {kHelp, kVersion, kNoOffset})
        parser.addOption(declaration(name, {}));
    parser.addOption(declaration(kPort, QStringLiteral("DEVICE")));
    parser.addOption(declaration(kTrace, QStringLiteral("FILE")));
    if (!parser.parse(arguments)) {
        err << "kaldorctl: " << parser.errorText() << '\n' << usage;
        line.status = kExitUsage;
        return line;
    }
    if (parser.isSet(bare(kHelp))) {
        out << usage;
        line.status = kExitOk;
        return line;
    }
    if (parser.isSet(bare(kVersion))) {
        out << "kaldorctl " << KALDOR_VERSION << '\n';
        line.status = kExitOk;
        return line;
    }
    const auto once = [&](const QString& name, const char* what, QString& into) {
        const QStringList values = parser.values(bare(name));
        if (values.size() > 1 || (values.size() == 1 && values.constFirst().trimmed().isEmpty())) {
            err << "kaldorctl: " << name << " takes one " << what << ", given once\n";
            return false;
        }
        into = values.value(0);
        return true;
    };
    if (!once(kPort, "device", options.port) || !once(kTrace, "file", options.trace)) {
        line.status = kExitUsage;
        return line;
    }
    if (parser.isSet(bare(kNoOffset))) options.offsetMode = false;
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        err << usage;
        line.status = kExitUsage;
        return line;
    }
    line.command = words.constFirst();
    line.rest = words.mid(1);
    return line;
}

} // namespace kaldor::cli
