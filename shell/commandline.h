#pragma once
// The kaldor command line:
//   kaldor                      port 1, the offset-capable mode
//   kaldor --simulate [FILE]    the same program against the built-in simulated meter,
//                               loaded with FILE or with the sample indicator file
//   kaldor FILE.tnk             the tank editor open on that tank file
//   kaldor FILE.idr             the data viewer open on FILE, the management window behind it
//   kaldor --port N=DEVICE      port option N (1..4) opens DEVICE (a tty, a pty)
//   kaldor --help | --version

#include <QMap>
#include <QString>
#include <QStringList>

namespace kaldor {

struct StartOptions {
    bool simulate = false;
    QString simulateFile;           // empty: the sample indicator file
    QString indicatorFile;          // an *.idr file to open in the viewer at start
    QMap<int, QString> portDevices; // port option -> device path
    QString tankFile;               // FILE.tnk: the editor opens it at start-up
};

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    StartOptions options;
    QString text; // the help or version text, or what is wrong with the arguments
};

// arguments as QCoreApplication::arguments() gives them, the program name first.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace kaldor
