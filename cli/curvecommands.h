#pragma once
// kaldorctl's commands that make a tank file's curve: from the tank's shape (curve) or from its
// strapping table (import).

#include "cli/linkcommands.h"

namespace kaldor::cli {

bool isCurveCommand(const QString& command);
int runCurveCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                    QTextStream& out, QTextStream& err);
QString curveCommandsHelp();

} // namespace kaldor::cli
