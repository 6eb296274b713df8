#pragma once
// kaldorctl's commands on files: show, check, build.

#include "cli/linkcommands.h"
#include "store/indicatortanks.h"
#include "store/messages.h"
#include "store/outputfile.h"

#include <optional>

namespace kaldor::cli {

class CommandParser;

bool isFileCommand(const QString& command);
int runFileCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                   QTextStream& out, QTextStream& err);
QString fileCommandsHelp();

// Prints each message on its own line: information on out, refusals on err.
void printMessages(const Messages& messages, QTextStream& out, QTextStream& err);

// "kaldorctl COMMAND: text" on err; returns kExitUsage.
int usageError(const QString& command, const QString& text, QTextStream& err);
// A refusal the core reports as the window's text and the detail that names the file, each on
// err when not empty; returns kExitRefused.
int refused(const QString& message, const QString& detail, QTextStream& err);

// Holds a command's outputs, and standard output, against its inputs before anything is sent
// or written (store/outputfile.h): kExitOk, or kExitRefused after saying why on err.
int refuseOutputs(const QStringList& inputs, const QList<OutputFile>& outputs, QTextStream& err);

// --tank N or --entry K: the curve of the first entry of tank N, or of directory entry K.
struct CurveChoice {
    QString option;
    int number = 0;
};
// --tank N and --entry K declared on a command's parser, and read from it once parsed: kExitOk
// with the choice (none when neither was given), or kExitUsage after saying why on err.
void addCurveChoice(CommandParser& line);
int readCurveChoice(const CommandParser& line, std::optional<CurveChoice>& choice,
                    QTextStream& err);
// The directory position (from 0) the choice names in the image, or nullopt after saying on
// err why there is none. A tank found at several positions is named with its others on err.
std::optional<qsizetype> chosenEntry(const IndicatorTanks& tanks, const CurveChoice& choice,
                                     const QString& path, QTextStream& err);

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

} // namespace kaldor::cli
