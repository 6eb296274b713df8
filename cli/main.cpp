// kaldorctl: the headless tool. Every job the windows do on a file, and every exchange with
// the meter, can be scripted with it.

#include "cli/commandparser.h"
#include "cli/curvecommands.h"
#include "cli/exportcommands.h"
#include "cli/filecommands.h"
#include "cli/linkcommands.h"
#include "store/outputfile.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

using namespace kaldor;
using namespace kaldor::cli;

namespace {

QString usage()
{
    QString text = QStringLiteral(
        "Usage: kaldorctl [--no-offset] [--port DEVICE] [--trace FILE] COMMAND [ARGUMENTS]\n"
        "\n"
        "Options:\n"
        "  --no-offset      the meter is not offset capable (default: offset capable)\n"
        "  --port DEVICE    serial port: 1 to 4, or a device path such as /dev/ttyUSB0, or a\n"
        "                   device server's tcp://HOST:PORT or rfc2217://HOST:PORT\n"
        "  --trace FILE     write the line's traffic (every byte, its time and direction) to FILE\n"
        "  --help           show this text\n"
        "  --version        show the version\n"
        "\n"
        "Commands on files:\n");
    text += fileCommandsHelp();
    text += QStringLiteral("\nCommands that hand a curve on:\n");
    text += exportCommandsHelp();
    text += QStringLiteral("\nCommands that make a curve:\n");
    text += curveCommandsHelp();
#ifdef KALDOR_HAVE_LINK_COMMANDS
    text += QStringLiteral("\nCommands on the meter (need --port):\n");
    text += linkCommandsHelp();
#endif
    text += QStringLiteral("\nExit status: 0 done, 1 refused or failed, 2 usage error, 3 --verify "
                           "found a difference.\n");
#ifdef KALDOR_HAVE_LINK_COMMANDS
    text += QStringLiteral(
        "A command on the meter stopped by SIGTERM or SIGINT ends its exchange at the next wait,\n"
        "writes the --trace file and exits with 128 + the signal's number.\n");
#endif
    return text;
}

int runCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
               QTextStream& out, QTextStream& err)
{
    if (isFileCommand(command)) return runFileCommand(command, args, options, out, err);
    if (isExportCommand(command)) return runExportCommand(command, args, options, out, err);
    if (isCurveCommand(command)) return runCurveCommand(command, args, options, out, err);
#ifdef KALDOR_HAVE_LINK_COMMANDS
    if (isLinkCommand(command)) return runLinkCommand(command, args, options, out, err);
#endif
    err << "kaldorctl: unknown command " << command << "\n" << usage();
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    // The calibration sheet is drawn with QtGui; a headless machine draws it offscreen.
    std::unique_ptr<QCoreApplication> application;
    if (needsGuiApplication(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("kaldorctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KALDOR_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const int status = [&] {
        GlobalOptions options;
        const GlobalCommandLine line =
            parseGlobalOptions(app.arguments(), options, usage(), out, err);
        if (line.status) return *line.status;
#ifdef KALDOR_HAVE_LINK_COMMANDS
        const bool onTheMeter = isLinkCommand(line.command);
#else
        const bool onTheMeter = false;
#endif
        // A port or a trace that a command on files would never use is not taken in silence.
        if (!onTheMeter && (!options.port.isEmpty() || !options.trace.isEmpty()) &&
            (isFileCommand(line.command) || isExportCommand(line.command) ||
             isCurveCommand(line.command)))
            return usageError(
                line.command,
                QStringLiteral("--port and --trace go with the commands on the meter"), err);
        return runCommand(line.command, line.rest, options, out, err);
    }();
    // Standard output is an output too: a full disk or /dev/full fails the run.
    const FileWriteResult flushed = finishStream(out);
    if (!flushed.ok) {
        err << "kaldorctl: standard output: " << flushed.detail << '\n';
        return status == kExitOk ? kExitRefused : status;
    }
    return status;
}
