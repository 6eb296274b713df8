#pragma once
// kaldorctl's commands that talk to the meter over a serial line (read, write, send-tank,
// clear, key). main.cpp parses the global options and hands the rest over.

#include <QStringList>
#include <QTextStream>

namespace kaldor::cli {

struct GlobalOptions {
    bool offsetMode = true; // --no-offset clears it
    QString port;           // --port: a number 1..4 or a device path; empty when not given
    QString trace;          // --trace: the file the line's traffic log goes to; empty for none
};

// write, send-tank and clear with --verify: the meter does not hold what was sent.
constexpr int kExitVerifyFailed = 3;
// A command stopped by SIGTERM or SIGINT ends with this plus the signal's number, as a shell
// reports a process the signal ended, once the exchange has stopped and the trace is written.
constexpr int kExitSignalled = 128;
// diff: the images differ (0 when they are the same, 2 when one cannot be read).
constexpr int kExitDifferent = 1;

// True when `command` is one of the link commands.
bool isLinkCommand(const QString& command);

// Runs a link command with its own arguments (after the command word). Returns the exit
// status: 0 done, 1 refused or failed, 2 usage error. Information goes to out, refusals and
// failures to err, one message a line.
int runLinkCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                   QTextStream& out, QTextStream& err);

// Lines for --help.
QString linkCommandsHelp();

} // namespace kaldor::cli
