#include "shell/commandline.h"

#include "link/serialport.h"
#include "store/limits.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace kaldor {

namespace {
using limits::kFirstPort;
using limits::kLastPort;
} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("KALDOR: reads, writes, clears and programs a tank-level indicator."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Talk to the built-in simulated meter, loaded with FILE (an indicator "
                       "file) or with the sample indicator file."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port option N (1 to 4) opens DEVICE, for "
                                                 "example /dev/ttyUSB0, a pty or a device "
                                                 "server's tcp://HOST:PORT or "
                                                 "rfc2217://HOST:PORT. Repeatable."),
                                  QStringLiteral("N=DEVICE"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(simulate);
    parser.addOption(port);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("Without --simulate: a tank file (*.tnk) to open in the tank "
                       "editor, or an indicator file (*.idr) to open in the data "
                       "viewer. With --simulate: the meter's indicator file."),
        QStringLiteral("[FILE]"));

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Error;
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::Help;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        result.text = QStringLiteral("kaldor " KALDOR_VERSION "\n");
        return result;
    }

    result.options.simulate = parser.isSet(simulate);
    const QStringList files = parser.positionalArguments();
    // Without --simulate a file is one to open, chosen by its extension, as the desktop's file
    // manager passes it: a tank file opens the tank editor, an indicator file the data viewer.
    const QString suffix = files.size() == 1 ? QFileInfo(files.constFirst()).suffix() : QString();
    const bool opening = !result.options.simulate && files.size() == 1;
    const bool tankFile = opening && suffix.compare(QLatin1String("tnk"), Qt::CaseInsensitive) == 0;
    const bool indicatorFile =
        opening && suffix.compare(QLatin1String("idr"), Qt::CaseInsensitive) == 0;
    if (files.size() > 1 ||
        (!files.isEmpty() && !result.options.simulate && !tankFile && !indicatorFile)) {
        result.action = CommandLine::Action::Error;
        result.text = result.options.simulate
                          ? QStringLiteral("--simulate takes one indicator file at most.")
                          : QStringLiteral("Unexpected argument: %1").arg(files.constFirst());
        return result;
    }
    if (tankFile)
        result.options.tankFile = files.constFirst();
    else if (indicatorFile)
        result.options.indicatorFile = files.constFirst();
    else if (!files.isEmpty())
        result.options.simulateFile = files.constFirst();

    static const QRegularExpression mapping(QStringLiteral("^([0-9]+)=(.+)$"));
    for (const QString& value : parser.values(port)) {
        const QRegularExpressionMatch m = mapping.match(value);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (n < kFirstPort || n > kLastPort) {
            result.action = CommandLine::Action::Error;
            result.text =
                QStringLiteral("--port wants N=DEVICE with N from 1 to 4, not \"%1\".").arg(value);
            return result;
        }
        const QString problem = PortSpec{n, m.captured(2)}.problem();
        if (!problem.isEmpty()) {
            result.action = CommandLine::Action::Error;
            result.text = problem;
            return result;
        }
        result.options.portDevices.insert(n, m.captured(2));
    }
    return result;
}

} // namespace kaldor
