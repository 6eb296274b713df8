// Running costs of the windowed program: starts the real `kaldor --simulate` as a child and
// measures the time to its main window's first expose (median of several starts), then, for each
// window at rest (the main window with its gauge moving, the tank editor, the viewer, Line
// Traffic beside the main window), the process's CPU share over an idle stretch and its wake-ups
// a second (voluntary context switches of every thread), and its resident memory. Each runs on
// the offscreen platform and on a real X server (an Xvfb of its own, when Xvfb is installed:
// package xvfb). Prints the figures beside their targets; decides nothing.
//
//   bench_ui [--program PATH] [--samples DIR] [--platform offscreen|xcb|both] [--starts N]
//            [--idle-seconds S]

#include "bench/support/stats.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kShownTimeoutMs = 15000;
// After the window is up: the start-up exchange is over and, where the gauge moves, it has swept
// up and down once, so the gauge label has drawn each of its numbers: what follows is the
// program as it sits open all day.
constexpr int kSettleMs = 1500;
constexpr int kSweepMs = 20000;
constexpr double kStartTargetMs = 400;
constexpr double kCpuTargetPercent = 0.5;
constexpr double kMemoryTargetMb = 80;

struct Options {
    QString program = QStringLiteral(KALDOR_PROGRAM);
    QString samples = QStringLiteral(KALDOR_SAMPLES);
    QStringList platforms{QStringLiteral("offscreen"), QStringLiteral("xcb")};
    int starts = 5;
    int idleSeconds = 10;
};

// A window at rest: what the program is started with.
struct Scene {
    const char* name;
    QStringList arguments; // after --simulate
    const char* variable;  // set to 1, or nullptr
    bool gaugeMoves;       // the main window is shown: its first expose reports "shown"
};

struct Shown {
    double wallMs;    // measured here: from QProcess::start to the "shown" line
    double processMs; // reported by the program: from its creation to the first expose
    double mainMs;    // reported by the program: from the top of main to the first expose
};

using kaldor::bench::median;

// An X server of the bench's own, on the first free display, for the xcb platform.
class VirtualDisplay {
public:
    ~VirtualDisplay()
    {
        if (m_server.state() == QProcess::NotRunning) return;
        m_server.terminate();
        if (!m_server.waitForFinished(3000)) m_server.kill();
        m_server.waitForFinished(3000);
    }

    // ":N", or empty with the reason on stderr.
    QString start()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty()) {
            std::fprintf(stderr,
                         "bench_ui: no Xvfb (package xvfb): the xcb figures are left out\n");
            return {};
        }
        // -displayfd 1: the server picks a free display and writes its number on stdout.
        m_server.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                 QStringLiteral("-screen"), QStringLiteral("0"),
                                 QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                                 QStringLiteral("tcp")});
        QByteArray number;
        QElapsedTimer clock;
        clock.start();
        while (!number.contains('\n') && clock.elapsed() < kShownTimeoutMs &&
               m_server.state() != QProcess::NotRunning) {
            m_server.waitForReadyRead(100);
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n')) {
            std::fprintf(stderr, "bench_ui: Xvfb did not start: %s\n",
                         m_server.readAllStandardError().constData());
            return {};
        }
        return QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    }

private:
    QProcess m_server;
};

// The child: kaldor against the simulated meter, in a scratch directory of its own (the program
// keeps a working file in its current directory).
class Child {
public:
    Child(const Options& options, const QString& display, const Scene& scene,
          const QString& directory)
        : m_waitsForShown(scene.gaugeMoves)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (display.isEmpty())
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        else
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("KALDOR_REPORT_SHOWN"), QStringLiteral("1"));
        if (scene.variable) env.insert(QLatin1String(scene.variable), QStringLiteral("1"));
        env.remove(QStringLiteral("KALDOR_SCREENSHOT"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(directory);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setReadChannel(QProcess::StandardError); // waitForReadyRead() waits on it
        m_process.setProgram(options.program);
        m_process.setArguments(QStringList{QStringLiteral("--simulate")} + scene.arguments);
    }

    ~Child()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts the program and waits for its "shown" line; where the main window stays hidden
    // (the editor takes its place) the settling time alone follows.
    std::optional<Shown> start()
    {
        QElapsedTimer clock;
        clock.start();
        m_process.start();
        if (!m_process.waitForStarted(kShownTimeoutMs)) {
            std::fprintf(stderr, "bench_ui: cannot start %s: %s\n", qPrintable(m_process.program()),
                         qPrintable(m_process.errorString()));
            return std::nullopt;
        }
        if (!m_waitsForShown) return Shown{0, 0, 0};
        QByteArray text;
        while (clock.elapsed() < kShownTimeoutMs) {
            if (!m_process.waitForReadyRead(100) && m_process.state() == QProcess::NotRunning)
                break;
            text += m_process.readAllStandardError();
            const qsizetype at = text.indexOf("shown ");
            const qsizetype end = at < 0 ? -1 : text.indexOf('\n', at);
            if (end < 0) continue;
            const double wall = double(clock.nsecsElapsed()) / 1e6;
            const QList<QByteArray> words = text.mid(at, end - at).split(' ');
            m_stderr = text.left(at) + text.mid(end + 1);
            return Shown{wall, words.value(1).toDouble(), words.value(3).toDouble()};
        }
        std::fprintf(stderr, "bench_ui: no \"shown\" line from the program; its stderr:\n%s\n",
                     text.constData());
        return std::nullopt;
    }

    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    QByteArray otherStderr() { return m_stderr + m_process.readAllStandardError(); }

private:
    QProcess m_process;
    QByteArray m_stderr;
    bool m_waitsForShown;
};

QByteArray readProc(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Summed over every thread of the process: the time it ran on a processor, in nanoseconds
// (schedstat's first field; far finer than the clock ticks of stat), and the times it waited
// and was woken (voluntary context switches).
struct Usage {
    long long runNs = 0;
    long long wakeUps = 0;
};

std::optional<Usage> usage(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty()) return std::nullopt;
    Usage total;
    for (const QString& thread : threads) {
        const QString base = tasks.filePath(thread);
        total.runNs +=
            readProc(base + QStringLiteral("/schedstat")).split(' ').value(0).toLongLong();
        for (const QByteArray& line : readProc(base + QStringLiteral("/status")).split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                total.wakeUps += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return total;
}

// A "Name:   1234 kB" line of /proc/PID/status, in MB (MiB).
double statusMb(qint64 pid, const char* name)
{
    for (const QByteArray& line :
         readProc(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith(QByteArray(name) + ':'))
            return line.mid(qsizetype(qstrlen(name)) + 1)
                       .simplified()
                       .split(' ')
                       .value(0)
                       .toDouble() /
                   1024;
    }
    return -1;
}

const char* verdict(bool met)
{
    return met ? "met" : "NOT met";
}

int startTimes(const Options& options, const QString& display, const Scene& main,
               const QString& directory)
{
    std::vector<double> wall, process, sinceMain;
    for (int i = 0; i < options.starts; ++i) {
        Child child(options, display, main, directory);
        const std::optional<Shown> shown = child.start();
        if (!shown) return 1;
        wall.push_back(shown->wallMs);
        process.push_back(shown->processMs);
        sinceMain.push_back(shown->mainMs);
    }
    const double startMs = median(wall);
    std::printf("  start to main window shown, median of %d: %.1f ms measured by the bench "
                "(program reports %.1f ms since process start, %.1f ms since main); "
                "target < %.0f ms: %s\n",
                options.starts, startMs, median(process), median(sinceMain), kStartTargetMs,
                verdict(startMs < kStartTargetMs));
    return 0;
}

int idleCost(const Options& options, const QString& display, const Scene& scene,
             const QString& directory, bool memory)
{
    Child child(options, display, scene, directory);
    if (!child.start()) return 1;
    QThread::msleep(scene.gaugeMoves ? kSettleMs + kSweepMs : kSettleMs);
    const qint64 pid = child.pid();
    const std::optional<Usage> before = usage(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::msleep(static_cast<unsigned long>(options.idleSeconds) * 1000);
    const std::optional<Usage> after = usage(pid);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!before || !after || !child.running()) {
        std::fprintf(stderr, "bench_ui: the program ended during the idle stretch\n%s\n",
                     child.otherStderr().constData());
        return 1;
    }
    const double cpuMs = double(after->runNs - before->runNs) / 1e6;
    const double percent = cpuMs / 10 / seconds;
    std::printf("  at rest, %-34s %5.2f %% of one core (%.1f ms of CPU in %.1f s), %5.1f "
                "wake-ups a second; target < %.1f %%: %s\n",
                scene.name, percent, cpuMs, seconds,
                double(after->wakeUps - before->wakeUps) / seconds, kCpuTargetPercent,
                verdict(percent < kCpuTargetPercent));
    if (memory) {
        const double rss = statusMb(pid, "VmRSS");
        const double hwm = statusMb(pid, "VmHWM");
        std::printf("  resident memory after the idle stretch: VmRSS %.1f MB, VmHWM (peak) %.1f "
                    "MB; target < %.0f MB: %s\n",
                    rss, hwm, kMemoryTargetMb, verdict(rss >= 0 && hwm < kMemoryTargetMb));
    }
    const QByteArray other = child.otherStderr().trimmed();
    if (!other.isEmpty() && !other.startsWith("QStandardPaths: XDG_RUNTIME_DIR"))
        std::printf("  the program's other stderr output:\n%s\n", other.constData());
    std::fflush(stdout);
    return 0;
}

int printUsage()
{
    std::fprintf(stderr, "usage: bench_ui [--program PATH] [--samples DIR] "
                         "[--platform offscreen|xcb|both] [--starts N] [--idle-seconds S]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--program") && hasValue)
            options.program = args[++i];
        else if (a == QLatin1String("--samples") && hasValue)
            options.samples = args[++i];
        else if (a == QLatin1String("--platform") && hasValue) {
            const QString platform = args[++i];
            if (platform == QLatin1String("both")) continue;
            if (platform != QLatin1String("offscreen") && platform != QLatin1String("xcb"))
                return printUsage();
            options.platforms = {platform};
        } else if (a == QLatin1String("--starts") && hasValue)
            options.starts = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--idle-seconds") && hasValue)
            options.idleSeconds = std::max(1, args[++i].toInt());
        else
            return printUsage();
    }
    const QDir samples(options.samples);
    const std::vector<Scene> scenes{
        {"the main window, its gauge moving:", {}, nullptr, true},
        {"Line Traffic open beside it:", {}, "KALDOR_SHOW_TRAFFIC", true},
        {"the tank editor on a tank file:",
         {samples.filePath(QStringLiteral("tanks/water.tnk"))},
         nullptr,
         false},
        {"the viewer on an indicator file:",
         {samples.filePath(QStringLiteral("three-tanks.idr"))},
         nullptr,
         true},
    };

    QTemporaryDir directory;
    if (!directory.isValid()) {
        std::fprintf(stderr, "bench_ui: no scratch directory\n");
        return 1;
    }
    std::printf("program: %s --simulate\n", qPrintable(options.program));
    for (const QString& platform : options.platforms) {
        VirtualDisplay server;
        QString display;
        if (platform == QLatin1String("xcb")) {
            display = server.start();
            if (display.isEmpty()) continue;
        }
        std::printf("platform %s%s:\n", qPrintable(platform),
                    display.isEmpty()
                        ? ""
                        : qPrintable(QStringLiteral(" (Xvfb on ") + display + QLatin1Char(')')));
        std::fflush(stdout);
        if (const int status = startTimes(options, display, scenes.front(), directory.path()))
            return status;
        for (const Scene& scene : scenes) {
            if (const int status =
                    idleCost(options, display, scene, directory.path(), &scene == &scenes.front()))
                return status;
        }
    }
    return 0;
}
