// kaldor-sim: a simulated meter on a pseudo-terminal. Prints the device to open on the first
// line, serves until SIGTERM or SIGINT, then writes what the meter holds to --save FILE.

#include "sim/ptymeter.h"
#include "store/indicatorfile.h"

#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>

using namespace kaldor;

namespace {
constexpr int kUsage = 2;
constexpr int kDefaultLatencyUs = 1000;
std::atomic_bool g_stop{false};

extern "C" void onSignal(int) { g_stop.store(true); }

int usage()
{
    std::fputs("Usage: kaldor-sim [--image FILE] [--pace] [--latency MICROSECONDS] [--fault CMD:STEP:KIND]...\n"
               "                  [--save FILE]\n"
               "                  [--received FILE]\n"
               "  CMD is AU, AD or CD; STEP the meter's reply counted from 1 (the reply to the command);\n"
               "  KIND silent, nack, wrong, extra, stop (STEP = blocks served) or close; store (AD or CD:\n"
               "  acknowledged, but data byte STEP is stored inverted); CL:1:ignore (a clear that does not\n"
               "  clear). --received writes every byte the program sent, in hex, at the end.\n",
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
        } else if (a == QLatin1String("--received") && hasValue) {
            receivedPath = args.takeFirst();
        } else {
            return usage();
        }
    }

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

    pty.serve(g_stop);

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
