#pragma once
// kaldorctl's commands on files: show, check, build.

#include "cli/linkcommands.h"
#include "store/messages.h"

namespace kaldor::cli {

bool isFileCommand(const QString& command);
int runFileCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                   QTextStream& out, QTextStream& err);
QString fileCommandsHelp();

// Prints each message on its own line: information on out, refusals on err.
void printMessages(const Messages& messages, QTextStream& out, QTextStream& err);

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

} // namespace kaldor::cli
