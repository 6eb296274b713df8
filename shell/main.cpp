// kaldor: the windowed program. Without arguments it opens port 1 in the offset-capable mode.

#include "link/link.h"
#include "link/serialport.h"
#include "shell/commandline.h"
#include "shell/mainwindow.h"
#include "shell/simulation.h"
#include "store/workingfile.h"
#include "ui/appicon.h"
#include "ui/qtdialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {
constexpr int kUsageError = 2;

// Milliseconds since the kernel created this process (before exec and the loading of Qt),
// from /proc/self/stat's start time, which counts in clock ticks (10 ms).
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6 -
           fields.value(19).toDouble() * 1e3 / double(sysconf(_SC_CLK_TCK));
}

// Probes for the benchmarks and the screenshot script, idle unless their variable is set. Once
// the main window's first expose has been handled (painted and flushed),
// KALDOR_REPORT_SHOWN=1 prints "shown <ms since process start> main <ms since main>" on stderr,
// KALDOR_SHOW_TRAFFIC=1 opens the Line Traffic window beside the main window (the idle
// benchmark's window at rest), and KALDOR_SCREENSHOT=FILE saves the window, menu bar included,
// to FILE a moment later (the gauge has moved and the start-up exchange is over) and ends the
// program.
class FirstExposeProbe : public QObject {
public:
    FirstExposeProbe(kaldor::MainWindow* window, const QElapsedTimer& sinceMain)
        : m_window(window), m_sinceMain(sinceMain)
    {
        window->windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { exposed(); });
        }
        return false;
    }

private:
    void exposed()
    {
        if (qEnvironmentVariableIntValue("KALDOR_REPORT_SHOWN") == 1)
            std::fprintf(stderr, "shown %.1f main %lld\n", msSinceProcessStart(),
                         static_cast<long long>(m_sinceMain.elapsed()));
        if (qEnvironmentVariableIntValue("KALDOR_SHOW_TRAFFIC") == 1)
            m_window->showLineTrafficWindow();
        const QString file = qEnvironmentVariable("KALDOR_SCREENSHOT");
        if (!file.isEmpty())
            QTimer::singleShot(kScreenshotDelayMs, this, [this, file] {
                QCoreApplication::exit(m_window->grab().save(file) ? 0 : 1);
            });
    }

    static constexpr int kScreenshotDelayMs = 500;
    kaldor::MainWindow* m_window;
    QElapsedTimer m_sinceMain;
};
} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    // --help, --version and a wrong command line are answered without a window system, so
    // that they work on a terminal with no display.
    kaldor::CommandLine command;
    {
        QCoreApplication core(argc, argv);
        command = kaldor::parseCommandLine(QCoreApplication::arguments());
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
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kaldor"));
    QApplication::setApplicationVersion(QStringLiteral(KALDOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kaldor"));
    QApplication::setWindowIcon(kaldor::appIcon());
    // The main window decides when the program ends (it hides itself behind the keypad).
    QApplication::setQuitOnLastWindowClosed(false);

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
        factory = kaldor::makeSerialPort;
    }

    auto link = std::make_unique<kaldor::Link>(factory);
    kaldor::QtDialogs dialogs;
    auto window = std::make_unique<kaldor::MainWindow>(*link, dialogs, command.options.portDevices);
    QObject::connect(window.get(), &kaldor::MainWindow::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window->startUp();
    // A file named on the command line opens in its window.
    if (!command.options.tankFile.isEmpty())
        window->showTankEditor(command.options.tankFile);
    else if (!command.options.indicatorFile.isEmpty())
        window->startWithIndicatorFile(command.options.indicatorFile);
    std::unique_ptr<FirstExposeProbe> probe;
    if (qEnvironmentVariableIsSet("KALDOR_REPORT_SHOWN") ||
        qEnvironmentVariableIsSet("KALDOR_SHOW_TRAFFIC") ||
        qEnvironmentVariableIsSet("KALDOR_SCREENSHOT"))
        probe = std::make_unique<FirstExposeProbe>(window.get(), sinceMain);
    const int status = QApplication::exec();

    const bool removeWorkingFile = window->closedByUser();
    window.reset();
    link.reset(); // calls off a running exchange and waits for the link thread
    // A read that was finishing while the program closed may have written the working file
    // after the window removed it.
    if (removeWorkingFile) QFile::remove(kaldor::workingFilePath());
    return status;
}
