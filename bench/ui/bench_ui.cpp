// Running costs of the windowed program: starts the real `kaldor --simulate` as a child and
// measures the time to its main window's first expose (median of several starts), its CPU use
// over an idle stretch with the gauge moving, and its resident memory afterwards. Runs on the
// offscreen platform unless DISPLAY is set (then on that X server, e.g. Xvfb), and the
// wake-ups a second of the idle process beside its CPU share. Prints the
// figures beside their targets; decides nothing.
//
//   bench_ui [--program PATH] [--starts N] [--idle-seconds S]

#include "bench/support/stats.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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
constexpr int kSettleMs = 1000;
constexpr double kStartTargetMs = 400;
constexpr double kCpuTargetPercent = 2;
constexpr double kMemoryTargetMb = 80;

struct Options {
    QString program = QStringLiteral(KALDOR_PROGRAM);
    int starts = 5;
    int idleSeconds = 10;
};

struct Shown {
    double wallMs;    // measured here: from QProcess::start to the "shown" line
    double processMs; // reported by the program: from its creation to the first expose
    double mainMs;    // reported by the program: from the top of main to the first expose
};

using kaldor::bench::median;

// The child: kaldor against the simulated meter, in a scratch directory of its own (the program
// keeps a working file in its current directory).
class Child {
public:
    Child(const Options& options, const QString& directory)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("DISPLAY")) &&
            !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KALDOR_REPORT_SHOWN"), QStringLiteral("1"));
        env.remove(QStringLiteral("KALDOR_SCREENSHOT"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(directory);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setReadChannel(QProcess::StandardError); // waitForReadyRead() waits on it
        m_process.setProgram(options.program);
        m_process.setArguments({QStringLiteral("--simulate")});
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

    // Starts the program and waits for its "shown" line.
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
};

QByteArray readProc(qint64 pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// utime + stime of every thread of the process, in clock ticks.
std::optional<long long> cpuTicks(qint64 pid)
{
    const QByteArray line = readProc(pid, "stat");
    const qsizetype paren = line.lastIndexOf(')');
    if (paren < 0) return std::nullopt;
    // After the command name the fields start at the third (state); utime and stime are the
    // 14th and 15th.
    const QList<QByteArray> fields = line.mid(paren + 2).split(' ');
    if (fields.size() < 13) return std::nullopt;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

// A "Name:   1234 kB" line of /proc/PID/status, in MB (MiB).
double statusMb(qint64 pid, const char* name)
{
    for (const QByteArray& line : readProc(pid, "status").split('\n')) {
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

// The times the process's threads were switched out, voluntarily (each wait that ended: a
// wake-up) and not, summed over every thread.
long long contextSwitches(qint64 pid)
{
    long long total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/status"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
    }
    return total;
}

const char* verdict(bool met)
{
    return met ? "met" : "NOT met";
}

int startTimes(const Options& options, const QString& directory)
{
    std::vector<double> wall, process, sinceMain;
    for (int i = 0; i < options.starts; ++i) {
        Child child(options, directory);
        const std::optional<Shown> shown = child.start();
        if (!shown) return 1;
        std::printf("start %d: shown after %.1f ms (program: %.1f ms since process start, %.1f ms "
                    "since main)\n",
                    i + 1, shown->wallMs, shown->processMs, shown->mainMs);
        wall.push_back(shown->wallMs);
        process.push_back(shown->processMs);
        sinceMain.push_back(shown->mainMs);
    }
    const double startMs = median(wall);
    std::printf("start to main window shown, median of %d: %.1f ms measured by the bench "
                "(program reports %.1f ms since process start, %.1f ms since main); "
                "target < %.0f ms: %s\n",
                options.starts, startMs, median(process), median(sinceMain), kStartTargetMs,
                verdict(startMs < kStartTargetMs));
    return 0;
}

int idleCostAndMemory(const Options& options, const QString& directory)
{
    Child child(options, directory);
    if (!child.start()) return 1;
    QThread::msleep(kSettleMs);
    const qint64 pid = child.pid();
    const std::optional<long long> before = cpuTicks(pid);
    const long long switchesBefore = contextSwitches(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::msleep(static_cast<unsigned long>(options.idleSeconds) * 1000);
    const std::optional<long long> after = cpuTicks(pid);
    const long long switchesAfter = contextSwitches(pid);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!before || !after || !child.running()) {
        std::fprintf(stderr, "bench_ui: the program ended during the idle stretch\n%s\n",
                     child.otherStderr().constData());
        return 1;
    }
    const double cpuSeconds = double(*after - *before) / double(sysconf(_SC_CLK_TCK));
    const double percent = cpuSeconds / seconds * 100;
    std::printf("idle CPU with the gauge moving, over %.1f s after %d ms settling: %.2f s of CPU = "
                "%.2f %% of one core; target < %.0f %%: %s\n",
                seconds, kSettleMs, cpuSeconds, percent, kCpuTargetPercent,
                verdict(percent < kCpuTargetPercent));
    std::printf("wake-ups of the idle process (voluntary context switches, every thread): %.1f "
                "a second\n",
                double(switchesAfter - switchesBefore) / seconds);

    const double rss = statusMb(pid, "VmRSS");
    const double hwm = statusMb(pid, "VmHWM");
    std::printf("resident memory after the idle stretch: VmRSS %.1f MB, VmHWM (peak) %.1f MB; "
                "target < %.0f MB: %s\n",
                rss, hwm, kMemoryTargetMb, verdict(rss >= 0 && hwm < kMemoryTargetMb));
    const QByteArray other = child.otherStderr().trimmed();
    if (!other.isEmpty())
        std::printf("the program's other stderr output:\n%s\n", other.constData());
    return 0;
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
        else if (a == QLatin1String("--starts") && hasValue)
            options.starts = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--idle-seconds") && hasValue)
            options.idleSeconds = std::max(1, args[++i].toInt());
        else {
            std::fprintf(stderr,
                         "usage: bench_ui [--program PATH] [--starts N] [--idle-seconds S]\n");
            return 2;
        }
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::printf("program: %s --simulate, platform: %s\n", qPrintable(options.program),
                !platform.isEmpty()  ? platform.constData()
                : !display.isEmpty() ? QByteArray("xcb on DISPLAY " + display).constData()
                                     : "offscreen");
    std::fflush(stdout);

    QTemporaryDir directory;
    if (!directory.isValid()) {
        std::fprintf(stderr, "bench_ui: no scratch directory\n");
        return 1;
    }
    if (const int status = startTimes(options, directory.path())) return status;
    std::fflush(stdout);
    return idleCostAndMemory(options, directory.path());
}
