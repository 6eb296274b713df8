// kaldor: the windowed program. Without arguments it opens port 1 in the offset-capable mode.

#include "link/link.h"
#include "link/qtserialport.h"
#include "shell/appicon.h"
#include "shell/commandline.h"
#include "shell/mainwindow.h"
#include "shell/qtdialogs.h"
#include "shell/simulation.h"

#include <QApplication>
#include <QFile>
#include <cstdio>
#include <memory>

namespace {
constexpr int kUsageError = 2;
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kaldor"));
    QApplication::setApplicationVersion(QStringLiteral(KALDOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kaldor"));
    QApplication::setWindowIcon(kaldor::appIcon());
    // The main window decides when the program ends (it hides itself behind the keypad).
    QApplication::setQuitOnLastWindowClosed(false);

    const kaldor::CommandLine command = kaldor::parseCommandLine(QApplication::arguments());
    switch (command.action) {
    case kaldor::CommandLine::Action::Help:
    case kaldor::CommandLine::Action::Version:
        std::fputs(qPrintable(command.text), stdout);
        return 0;
    case kaldor::CommandLine::Action::Error:
        std::fprintf(stderr, "kaldor: %s\nTry kaldor --help.\n", qPrintable(command.text));
        return kUsageError;
    case kaldor::CommandLine::Action::Run:
        break;
    }

    kaldor::Link::PortFactory factory;
    std::unique_ptr<kaldor::Simulation> simulation;
    if (command.options.simulate) {
        QString problem;
        simulation = kaldor::Simulation::load(command.options.simulateFile, &problem);
        if (!simulation) {
            std::fprintf(stderr, "kaldor: %s\n", qPrintable(problem));
            return 1;
        }
        factory = simulation->portFactory();
    } else {
        factory = [](const kaldor::PortSpec& portSpec) {
            return std::make_unique<kaldor::QtSerialPort>(portSpec);
        };
    }

    auto link = std::make_unique<kaldor::Link>(factory);
    kaldor::QtDialogs dialogs;
    auto window = std::make_unique<kaldor::MainWindow>(*link, dialogs, command.options.portDevices);
    QObject::connect(window.get(), &kaldor::MainWindow::programEnded, &app,
                     &QCoreApplication::quit, Qt::QueuedConnection);
    window->startUp();
    const int status = QApplication::exec();

    const bool removeWorkingFile = window->closedByUser();
    window.reset();
    link.reset(); // calls off a running exchange and waits for the link thread
    // A read that was finishing while the program closed may have written the working file
    // after the window removed it.
    if (removeWorkingFile)
        QFile::remove(kaldor::MainWindow::workingFile());
    return status;
}
