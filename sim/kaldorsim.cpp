// kaldor-sim: a simulated meter on a pseudo-terminal, or with --listen as a network device (a
// serial device server with the meter behind it). Prints the device or the address to open on
// the first line, serves until SIGTERM or SIGINT, then writes what the meter holds to
// --save FILE. With
// --control it takes faults while it serves, one a line on standard input, so that a long run
// of exchanges can meet a fault now and then.

#include "link/stopsignal.h"
#include "sim/netmeter.h"
#include "sim/ptymeter.h"
#include "store/indicatorfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

using namespace kaldor;

namespace {
constexpr int kUsageError = 2;
constexpr int kDefaultLatencyUs = 1000;
// The lines of standard input, read on a thread of their own and taken up by the serving
// thread between two reads of the line.
class ControlLines {
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

const char* const kUsage =
    "Usage: kaldor-sim [--image FILE] [--pace] [--latency MICROSECONDS] [--fault "
    "CMD:STEP:KIND]...\n"
    "                  [--save FILE]\n"
    "                  [--received FILE] [--control] [--listen ADDRESS]\n"
    "  CMD is AU, AD or CD; STEP the meter's reply counted from 1 (the reply to the command);\n"
    "  KIND silent, nack, wrong, extra, stop (STEP = blocks served) or close; store (AD or "
    "CD:\n"
    "  acknowledged, but data byte STEP is stored inverted); CL:1:ignore (a clear that does "
    "not\n"
    "  clear). --received writes every byte the program sent, in hex, at the end. --control "
    "takes\n"
    "  CMD:STEP:KIND or clear (all faults) on standard input while serving, answering ok or "
    "error.\n"
    "  --listen tcp://HOST:PORT serves the meter as a network device, raw bytes over TCP;\n"
    "  rfc2217://HOST:PORT as telnet with the serial-port option (RFC 2217), printing each\n"
    "  line setting the program asks for (baud 19200, datasize 8, parity none, stopbits 1).\n"
    "  One program at a time; PORT 0 takes a free port. The first line printed is the\n"
    "  address, or without --listen the pseudo-terminal, to open.\n";

// A usage error: what is wrong, then the usage, on stderr.
int usage(const QString& why)
{
    std::fprintf(stderr, "kaldor-sim: %s\n%s", qPrintable(why), kUsage);
    return kUsageError;
}

// The longest pause before a reply that the simulated meter takes: far past every wait of the
// program, so that a time-out can be provoked, and short of overflowing the clock.
constexpr long long kMaxLatencyUs = 60'000'000;
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption image(QStringLiteral("image"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption pace(QStringLiteral("pace"));
    const QCommandLineOption latency(QStringLiteral("latency"), QString(),
                                     QStringLiteral("MICROSECONDS"));
    const QCommandLineOption faults(QStringLiteral("fault"), QString(),
                                    QStringLiteral("CMD:STEP:KIND"));
    const QCommandLineOption save(QStringLiteral("save"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption received(QStringLiteral("received"), QString(),
                                      QStringLiteral("FILE"));
    const QCommandLineOption control(QStringLiteral("control"));
    const QCommandLineOption listen(QStringLiteral("listen"), QString(), QStringLiteral("ADDRESS"));
    parser.addOptions({help, image, pace, latency, faults, save, received, control, listen});
    if (!parser.parse(app.arguments())) return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument '%1'")
                         .arg(parser.positionalArguments().constFirst()));
    // Every option that takes one value takes it once, not empty; --fault may be repeated.
    for (const QCommandLineOption* option : {&image, &latency, &save, &received, &listen}) {
        const QStringList values = parser.values(*option);
        const QString name = QStringLiteral("--") + option->names().constFirst();
        if (values.size() > 1) return usage(QStringLiteral("%1 is given twice").arg(name));
        if (values.size() == 1 && (values.constFirst().trimmed().isEmpty() ||
                                   values.constFirst().startsWith(QLatin1String("--"))))
            return usage(
                QStringLiteral("%1 needs a value, not '%2'").arg(name, values.constFirst()));
    }

    MeterTiming timing;
    timing.paced = parser.isSet(pace);
    if (timing.paced) timing.latency = std::chrono::microseconds(kDefaultLatencyUs);
    if (parser.isSet(latency)) {
        bool ok = false;
        const long long us = parser.value(latency).toLongLong(&ok);
        if (!ok || us < 0 || us > kMaxLatencyUs)
            return usage(
                QStringLiteral(
                    "--latency takes a whole number of microseconds from 0 to %1, not '%2'")
                    .arg(kMaxLatencyUs)
                    .arg(parser.value(latency)));
        timing.latency = std::chrono::microseconds(us);
    }
    SimulatedMeter meter;
    for (const QString& text : parser.values(faults)) {
        const auto fault = MeterFault::parse(text);
        if (!fault) return usage(QStringLiteral("--fault takes CMD:STEP:KIND, not '%1'").arg(text));
        meter.addFault(*fault);
    }
    const QString savePath = parser.value(save);
    const QString receivedPath = parser.value(received);
    const bool controlled = parser.isSet(control);
    std::optional<NetworkAddress> address;
    if (parser.isSet(listen)) {
        QString problem;
        address =
            NetworkAddress::parse(parser.value(listen), &problem, NetworkAddress::Use::Listen);
        if (!address) return usage(QStringLiteral("--listen: ") + problem);
    }
    if (parser.isSet(image)) {
        const QString path = parser.value(image);
        const IndicatorFileLoad load = loadIndicatorFile(path);
        if (!load.ok()) {
            std::fprintf(stderr, "kaldor-sim: %s: %s\n", qPrintable(path),
                         qPrintable(load.detail.isEmpty() ? load.message : load.detail));
            return 1;
        }
        meter.setImage(load.image);
    }

    meter.keepReceived(!receivedPath.isEmpty());
    ControlLines lines;
    const std::function<void()> between =
        controlled ? std::function<void()>([&] { lines.apply(meter); }) : std::function<void()>();
    if (address) {
        NetMeter net(meter, timing);
        QString error;
        if (!net.listen(*address, &error)) {
            std::fprintf(stderr, "kaldor-sim: cannot listen on %s: %s\n",
                         qPrintable(parser.value(listen)), qPrintable(error));
            return 1;
        }
        // A program that leaves while a reply is on its way is no reason to end.
        std::signal(SIGPIPE, SIG_IGN);
        const std::atomic_bool& stop = stopOnTerminationSignals();
        std::printf("%s\n", qPrintable(net.address()));
        std::fflush(stdout);
        if (controlled) lines.start();
        net.serve(stop, between, [](const QString& setting) {
            std::printf("%s\n", qPrintable(setting));
            std::fflush(stdout);
        });
    } else {
        PtyMeter pty(meter, timing);
        QString error;
        if (!pty.open(&error)) {
            std::fprintf(stderr, "kaldor-sim: cannot open a pseudo-terminal: %s\n",
                         qPrintable(error));
            return 1;
        }
        const std::atomic_bool& stop = stopOnTerminationSignals();
        std::printf("%s\n", qPrintable(pty.slavePath()));
        std::fflush(stdout);
        if (controlled) lines.start();
        pty.serve(stop, between);
    }

    if (!receivedPath.isEmpty() &&
        !writeFileAtomically(receivedPath, meter.received().toHex()).ok) {
        std::fprintf(stderr, "kaldor-sim: %s cannot be written\n", qPrintable(receivedPath));
        return 1;
    }

    if (!savePath.isEmpty()) {
        const IndicatorImage& image = meter.image();
        const int blocks = image.blockCount();
        const int trailing = blocks > 0 ? image.at((blocks - 1) * layout::kBlockSize) : 0;
        const FileWriteResult written = writeIndicatorFile(savePath, blocks, image, trailing);
        if (!written.ok) {
            std::fprintf(stderr, "kaldor-sim: %s: %s\n", qPrintable(savePath),
                         qPrintable(written.detail));
            return 1;
        }
    }
    return 0;
}
