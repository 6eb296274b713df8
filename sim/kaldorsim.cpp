// kaldor-sim: a simulated meter on a pseudo-terminal. Prints the device to open on the first
// line, serves until SIGTERM or SIGINT, then writes what the meter holds to --save FILE. With
// --control it takes faults while it serves, one a line on standard input, so that a long run
// of exchanges can meet a fault now and then.

#include "sim/ptymeter.h"
#include "store/indicatorfile.h"

#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

using namespace kaldor;

namespace {
constexpr int kUsage = 2;
constexpr int kDefaultLatencyUs = 1000;
std::atomic_bool g_stop{false};

extern "C" void onSignal(int) { g_stop.store(true); }

// The lines of standard input, read on a thread of their own and taken up by the serving
// thread between two reads of the line.
class ControlLines
{
public:
    void start()
    {
        std::thread([this] {
            for (std::string line; std::getline(std::cin, line);) {
                const std::lock_guard lock(m_mutex);
                m_lines.push_back(QString::fromStdString(line).trimmed());
            }
        }).detach(); // blocked on standard input until the process ends
    }
    // "CMD:STEP:KIND" adds a fault, "clear" removes them all; each line is answered on standard
    // output with "ok" or "error" once it is in force.
    void apply(SimulatedMeter& meter)
    {
        std::deque<QString> lines;
        {
            const std::lock_guard lock(m_mutex);
            lines.swap(m_lines);
        }
        for (const QString& line : lines) {
            const auto fault = MeterFault::parse(line);
            if (line == QLatin1String("clear"))
                meter.clearFaults();
            else if (fault)
                meter.addFault(*fault);
            std::puts(fault || line == QLatin1String("clear") ? "ok" : "error");
        }
        if (!lines.empty()) std::fflush(stdout);
    }

private:
    std::mutex m_mutex;
    std::deque<QString> m_lines;
};

int usage()
{
    std::fputs(
        "Usage: kaldor-sim [--image FILE] [--pace] [--latency MICROSECONDS] [--fault "
        "CMD:STEP:KIND]...\n"
        "                  [--save FILE]\n"
        "                  [--received FILE] [--control]\n"
        "  CMD is AU, AD or CD; STEP the meter's reply counted from 1 (the reply to the command);\n"
        "  KIND silent, nack, wrong, extra, stop (STEP = blocks served) or close; store (AD or "
        "CD:\n"
        "  acknowledged, but data byte STEP is stored inverted); CL:1:ignore (a clear that does "
        "not\n"
        "  clear). --received writes every byte the program sent, in hex, at the end. --control "
        "takes\n"
        "  CMD:STEP:KIND or clear (all faults) on standard input while serving, answering ok or "
        "error.\n",
        stderr);
    return kUsage;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    SimulatedMeter meter;
    MeterTiming timing;
    QString savePath;
    QString receivedPath;
    bool control = false;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        const bool hasValue = !args.isEmpty();
        if (a == QLatin1String("--pace")) {
            timing.paced = true;
            if (timing.latency.count() == 0)
                timing.latency = std::chrono::microseconds(kDefaultLatencyUs);
        } else if (a == QLatin1String("--latency") && hasValue) {
            timing.latency = std::chrono::microseconds(args.takeFirst().toLongLong());
        } else if (a == QLatin1String("--image") && hasValue) {
            const QString path = args.takeFirst();
            const IndicatorFileLoad load = loadIndicatorFile(path);
            if (!load.ok()) {
                std::fprintf(stderr, "kaldor-sim: %s: %s\n", qPrintable(path),
                             qPrintable(load.detail.isEmpty() ? load.message : load.detail));
                return 1;
            }
            meter.setImage(load.image);
        } else if (a == QLatin1String("--fault") && hasValue) {
            const auto fault = MeterFault::parse(args.takeFirst());
            if (!fault)
                return usage();
            meter.addFault(*fault);
        } else if (a == QLatin1String("--save") && hasValue) {
            savePath = args.takeFirst();
        } else if (a == QLatin1String("--control")) {
            control = true;
        } else if (a == QLatin1String("--received") && hasValue) {
            receivedPath = args.takeFirst();
        } else {
            return usage();
        }
    }

    meter.keepReceived(!receivedPath.isEmpty());
    PtyMeter pty(meter, timing);
    QString error;
    if (!pty.open(&error)) {
        std::fprintf(stderr, "kaldor-sim: cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::printf("%s\n", qPrintable(pty.slavePath()));
    std::fflush(stdout);

    ControlLines lines;
    if (control) lines.start();
    pty.serve(g_stop, control ? std::function<void()>([&] { lines.apply(meter); })
                              : std::function<void()>());

    if (!receivedPath.isEmpty() && !writeFileAtomically(receivedPath, meter.received().toHex()).ok) {
        std::fprintf(stderr, "kaldor-sim: %s cannot be written\n", qPrintable(receivedPath));
        return 1;
    }

    if (!savePath.isEmpty()) {
        const IndicatorImage& image = meter.image();
        const int blocks = image.blockCount();
        const int trailing = blocks > 0 ? image.at((blocks - 1) * layout::kBlockSize) : 0;
        const FileWriteResult written = writeIndicatorFile(savePath, blocks, image, trailing);
        if (!written.ok) {
            std::fprintf(stderr, "kaldor-sim: %s: %s\n", qPrintable(savePath), qPrintable(written.detail));
            return 1;
        }
    }
    return 0;
}
