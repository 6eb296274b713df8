#pragma once
// kaldorctl's commands that hand a curve on: export (CSV) and sheet (the calibration sheet as
// PDF). Both take a tank file or an indicator file.

#include "cli/linkcommands.h"

namespace kaldor::cli {

bool isExportCommand(const QString& command);
int runExportCommand(const QString& command, const QStringList& args, const GlobalOptions& options,
                     QTextStream& out, QTextStream& err);
QString exportCommandsHelp();

// The sheet draws its page with QtGui: true when the command line asks for it, so that main
// starts a QGuiApplication (with the offscreen platform when none is set) instead of a
// QCoreApplication.
bool needsGuiApplication(int argc, char** argv);

} // namespace kaldor::cli
