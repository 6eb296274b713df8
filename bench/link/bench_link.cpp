// Timing of the long exchanges with the meter over a pseudo-terminal served by kaldor-sim:
// reading the full 3125-block image ("AU"), writing it back ("AD") and sending one tank of
// 100 points ("CD"), each through the program's QtSerialPort and exchange code.
//  - on an instant line, against a plain blocking loop (open, termios, poll, read, write and
//    nothing else) doing the same exchange byte for byte;
//  - on a paced line (kaldor-sim --pace), against the time the bytes take on the wire;
//  - the program's turnaround: from the last byte of a reply in its hands to its next byte out.
//  - the program with the line's traffic log on against off, on both lines.
// Prints medians; decides nothing.
//
//  - with --network only: the same exchanges on the paced line through a serial device server
//    on loopback (ser2net, kaldor-sim --listen; raw and RFC 2217) against the pseudo-terminal,
//    and each port's set-up time.
//
//   bench_link [--quick] [--runs N] [--latency US] [--sim PATH] [--profile KIND:SIDE[:paced]]
//              [--network]
//   --quick skips the paced read and write of the full image (some 15 s each, twice);
//   --profile runs one exchange on one side only (read|write|send : program|floor), for perf.

#include "bench/link/linejob.h"
#include "bench/link/linestats.h"
#include "bench/link/meterprocess.h"
#include "bench/link/networkline.h"
#include "bench/link/plainline.h"
#include "bench/link/programline.h"
#include "bench/support/stats.h"
#include "editor/tanksend.h"
#include "link/tracelog.h"
#include "store/curvecheck.h"
#include "store/indicatorfile.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#ifndef KALDOR_SIM_PATH
#error "KALDOR_SIM_PATH names the kaldor-sim executable"
#endif

using namespace kaldor;
using namespace kaldor::bench;

namespace {

constexpr int kDefaultRuns = 7;
constexpr int kPacedSendRuns = 3;
constexpr int kDefaultLatencyUs = 0; // the meter answers at once: the line alone sets the pace
constexpr int kTankNumber = 7;
constexpr double kByteSeconds = 10.0 / 19200.0; // start, 8 data, stop at 19200 baud

struct Options {
    bool quick = false;
    int runs = kDefaultRuns;
    int latencyUs = kDefaultLatencyUs;
    QString sim = QStringLiteral(KALDOR_SIM_PATH);
    QString profile; // "read|write|send:program|floor[:paced]": only those runs, for a profiler
    bool network = false; // only the runs through a device server, and the set-up times
};

// One run of the program, then one of the floor, on the same line. False (and said) when
// either fails; the times go to the vectors given.
bool runBoth(const Job& job, const QString& device, const char* what, Turnarounds* programTurns,
             Turnarounds* plainTurns, std::vector<double>* program = nullptr,
             std::vector<double>* plain = nullptr)
{
    const double tp = runProgram(job, device, programTurns);
    if (tp < 0) {
        std::fprintf(stderr, "bench_link: %s: the program's %s failed\n", kindName(job.kind), what);
        return false;
    }
    const double tf = runPlain(job, device.toStdString(), plainTurns);
    if (tf < 0) {
        std::fprintf(stderr, "bench_link: %s: the floor's %s failed\n", kindName(job.kind), what);
        return false;
    }
    if (program) program->push_back(tp);
    if (plain) plain->push_back(tf);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options opt;
    QStringList args = app.arguments().mid(1);
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--quick"))
            opt.quick = true;
        else if (a == QLatin1String("--runs") && !args.isEmpty())
            opt.runs = std::max(1, args.takeFirst().toInt());
        else if (a == QLatin1String("--latency") && !args.isEmpty())
            opt.latencyUs = std::max(0, args.takeFirst().toInt());
        else if (a == QLatin1String("--sim") && !args.isEmpty())
            opt.sim = args.takeFirst();
        else if (a == QLatin1String("--profile") && !args.isEmpty())
            opt.profile = args.takeFirst();
        else if (a == QLatin1String("--network"))
            opt.network = true;
        else {
            std::fputs("Usage: bench_link [--quick] [--runs N] [--latency US] [--sim PATH]\n"
                       "                  [--profile read|write|send:program|floor[:paced]]\n"
                       "                  [--network]\n",
                       stderr);
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString imageFile = dir.filePath(QStringLiteral("full.idr"));
    const std::vector<std::uint8_t> bytes = fullImageBytes();
    const IndicatorImage image = imageOf(bytes);
    if (!writeIndicatorFile(imageFile, layout::kMaxBlocks, image,
                            image.at(layout::kMaxLength - layout::kBlockSize))
             .ok) {
        std::fprintf(stderr, "bench_link: cannot write %s\n", qPrintable(imageFile));
        return 1;
    }
    CurveTable table = hundredPointTable();
    const CurveCheck checked = validateCurve(table);
    const int pointCount = checked.pointCount.value_or(0);
    if (!checked.curveValid || pointCount != kPoints) {
        std::fputs("bench_link: the 100-point curve does not check\n", stderr);
        return 1;
    }
    const TankSendPreparation prep =
        prepareTankSend(table, pointCount, QString::number(kTankNumber), {}, true);
    if (!prep.send) {
        std::fputs("bench_link: the 100-point curve does not encode\n", stderr);
        return 1;
    }

    Job jobs[3];
    for (int i = 0; i < 3; ++i) {
        jobs[i].kind = Kind(i);
        jobs[i].image = image;
        jobs[i].bytes = bytes;
        jobs[i].send = *prep.send;
        jobs[i].sendBytes.assign(prep.send->block.begin(), prep.send->block.end());
    }
    const int sendBytes = int(prep.send->block.size());

    std::printf("bench_link: kaldor-sim %s\n", qPrintable(opt.sim));
    std::printf("image %d bytes (%d blocks); tank %d: %d points, %d data bytes\n\n",
                int(bytes.size()), layout::kMaxBlocks, kTankNumber, kPoints, sendBytes);

    const QStringList imageArgs = {QStringLiteral("--image"), imageFile};
    const QStringList pacedArgs =
        imageArgs + QStringList{QStringLiteral("--pace"), QStringLiteral("--latency"),
                                QString::number(opt.latencyUs)};
    const double latency = opt.latencyUs / 1e6;

    if (opt.network) return runNetworkBench(jobs, opt.sim, pacedArgs, 2 * opt.runs + 1) ? 0 : 1;
    if (!opt.profile.isEmpty()) {
        // Only the runs named, each timed, so that a profiler sees nothing else.
        const QStringList p = opt.profile.split(u':');
        const int k = p.value(0) == QLatin1String("read")    ? 0
                      : p.value(0) == QLatin1String("write") ? 1
                                                             : 2;
        const bool plainSide = p.value(1) == QLatin1String("floor");
        const bool paced = p.value(2) == QLatin1String("paced");
        MeterProcess meter;
        if (!meter.start(opt.sim, paced ? pacedArgs : imageArgs)) return 1;
        for (int r = 0; r < opt.runs; ++r) {
            const double t = plainSide ? runPlain(jobs[k], meter.device().toStdString(), nullptr)
                                       : runProgram(jobs[k], meter.device(), nullptr);
            std::printf("%s %s: %.4f s\n", kindName(Kind(k)), plainSide ? "floor" : "program", t);
        }
        return 0;
    }
    // Runs with the line's traffic log on, as the windows have it, alternating with the plain ones.
    TraceLog traceLog;
    struct TracedRow {
        const char* name;
        double off;
        double on;
    };
    std::vector<TracedRow> tracedRows;
    Turnarounds programInstant[3];
    Turnarounds plainInstant[3];
    const Clock::time_point benchStart = Clock::now();

    // ---- Instant line ----
    std::printf("(a) Instant line (kaldor-sim unpaced): median of %d runs after one not counted; "
                "program and\n"
                "    floor alternate, each on its own open of the same pseudo-terminal; exchange "
                "time only.\n",
                opt.runs);
    std::printf("  %-30s %10s %21s %10s %21s %7s %10s\n", "exchange", "program s", "(min .. max)",
                "floor s", "(min .. max)", "ratio", "decorated");
    for (int k = 0; k < 3; ++k) {
        const Job& job = jobs[k];
        MeterProcess meter;
        if (!meter.start(opt.sim, imageArgs)) return 1;
        const QString device = meter.device();
        if (!runBoth(job, device, "warm-up run", nullptr, nullptr)) return 1;
        std::vector<double> program, plain, decorated, traced;
        for (int r = 0; r < opt.runs; ++r) {
            if (!runBoth(job, device, "timed run", nullptr, nullptr, &program, &plain)) return 1;
            const double tt = runProgram(job, device, nullptr, &traceLog);
            if (tt < 0) return 1;
            traced.push_back(tt);
        }
        // Turnarounds from runs of their own, so that no clock reading sits in the timed ones.
        for (int r = 0; r < std::max(1, opt.runs / 2); ++r) {
            if (!runBoth(job, device, "recorded run", &programInstant[k], &plainInstant[k],
                         &decorated))
                return 1;
        }
        const double mp = median(program);
        const double mf = median(plain);
        std::printf("  %-30s %10.4f   (%7.4f .. %7.4f) %10.4f   (%7.4f .. %7.4f) %6.2fx %10.4f\n",
                    kindName(job.kind), mp, *std::min_element(program.begin(), program.end()),
                    *std::max_element(program.begin(), program.end()), mf,
                    *std::min_element(plain.begin(), plain.end()),
                    *std::max_element(plain.begin(), plain.end()), mp / mf, median(decorated));
        tracedRows.push_back({kindName(job.kind), mp, median(traced)});
    }
    std::printf("  target: program / floor <= 1.50x.  'decorated': median with the timing "
                "decorator of (c).\n\n");

    // ---- Paced line ----
    const double bt = kByteSeconds;
    std::printf(
        "(b) Paced line (kaldor-sim --pace --latency %d): one byte = 10 bit times = %.1f us.\n",
        opt.latencyUs, bt * 1e6);
    std::printf(
        "    wire   = every byte on the line, both directions, x 10 / 19200 s\n"
        "    line   = wire + one latency per meter reply (the same as wire at --latency 0)\n");
    std::printf("  %-30s %6s %7s %4s %8s %8s %8s %8s %9s %9s %9s\n", "exchange", "bytes", "replies",
                "runs", "program", "floor", "wire", "line", "prog/wire", "prog/line", "floor/line");
    std::vector<TracedRow> pacedTracedRows;
    Turnarounds programPaced[3];
    Turnarounds plainPaced[3];
    for (int k = 0; k < 3; ++k) {
        const Job& job = jobs[k];
        const LineCount count = lineCount(job.kind, layout::kMaxBlocks, sendBytes);
        if (opt.quick && job.kind != Kind::Send) {
            std::printf("  %-30s %6d %7d  skipped (--quick)\n", kindName(job.kind), count.total(),
                        count.replies);
            continue;
        }
        MeterProcess meter;
        if (!meter.start(opt.sim, pacedArgs)) return 1;
        const int runs = job.kind == Kind::Send ? kPacedSendRuns : 1;
        std::vector<double> program, plain, traced;
        for (int r = 0; r < runs; ++r) {
            // Decorated: on a paced line its clock readings are lost in the waits.
            if (!runBoth(job, meter.device(), "paced run", &programPaced[k], &plainPaced[k],
                         &program, &plain))
                return 1;
            const double tt = runProgram(job, meter.device(), nullptr, &traceLog);
            if (tt < 0) return 1;
            traced.push_back(tt);
        }
        pacedTracedRows.push_back({kindName(job.kind), median(program), median(traced)});
        const double wire = count.total() * bt;
        const double lineTime = wire + count.replies * latency;
        const double mp = median(program);
        const double mf = median(plain);
        std::printf("  %-30s %6d %7d %4d %8.3f %8.3f %8.3f %8.3f %8.3fx %8.3fx %8.3fx\n",
                    kindName(job.kind), count.total(), count.replies, runs, mp, mf, wire, lineTime,
                    mp / wire, mp / lineTime, mf / lineTime);
    }
    std::printf("  target: program / line <= 1.03x (with --latency 0, program / wire).\n\n");

    // ---- Traffic log ----
    std::printf("(d) The line's traffic log on (every byte recorded, as in the windows) against "
                "off: medians of the\n"
                "    program's runs above, the traced ones alternating with the plain ones. "
                "Target: within 2 %%.\n");
    std::printf("  %-38s %10s %10s %8s\n", "exchange", "log off s", "log on s", "on/off");
    const auto printTraced = [](const char* line, const std::vector<TracedRow>& rows) {
        for (const TracedRow& row : rows)
            std::printf("  %-8s%-30s %10.4f %10.4f %7.3fx\n", line, row.name, row.off, row.on,
                        row.on / row.off);
    };
    printTraced("(a)", tracedRows);
    printTraced("(b)", pacedTracedRows);
    // Wall-clock medians on a shared machine move by several per cent from run to run, more than
    // the log costs; so the log's own work for each exchange's bytes is also timed alone: every
    // byte out recorded one by one, every reply recorded as the chunk the program reads.
    std::printf(
        "  the log's own work, timed alone (median of 15), against the log-off median of (a):\n");
    struct LogLoad {
        int outBytes;
        int inChunks;
        int chunkSize;
    };
    const LogLoad loads[] = {{4 + layout::kMaxBlocks + 1, layout::kMaxBlocks, layout::kBlockSize},
                             {4 + 2 + layout::kMaxLength + 1, layout::kMaxBlocks + 2, 1},
                             {4 + 404 + 8, 4, 1}};
    for (std::size_t k = 0; k < tracedRows.size() && k < std::size(loads); ++k) {
        std::vector<double> took;
        for (int run = 0; run < 15; ++run) {
            TraceLog log;
            const QByteArray chunk(loads[k].chunkSize, '\x06');
            const auto t0 = Clock::now();
            for (int i = 0; i < loads[k].outBytes; ++i)
                log.recordOut(std::uint8_t(i));
            for (int i = 0; i < loads[k].inChunks; ++i)
                log.recordIn(chunk);
            took.push_back(seconds(Clock::now() - t0));
        }
        const double cost = median(took);
        std::printf("  %-8s%-30s %8.3f ms = %5.2f %%\n", "(a)", tracedRows[k].name, 1000 * cost,
                    100 * cost / tracedRows[k].off);
    }
    std::printf("\n");

    // ---- Turnaround ----
    std::printf("(c) Turnaround: from the last byte of a meter reply in the program's hands to its "
                "next byte out\n"
                "    'to write call': until SerialPort::writeByte is called; 'to byte out': until "
                "it returns\n"
                "    (QSerialPort has handed the byte to the driver). Floor: read() of the last "
                "byte to write().\n");
    for (int k = 0; k < 3; ++k) {
        std::printf("  %s, instant line\n", kindName(Kind(k)));
        printTurnarounds("program, to write call", programInstant[k].toCall);
        printTurnarounds("program, to byte out", programInstant[k].toByteOut);
        printTurnarounds("floor, to byte out", plainInstant[k].toByteOut);
        if (!programPaced[k].toByteOut.empty()) {
            std::printf("  %s, paced line\n", kindName(Kind(k)));
            printTurnarounds("program, to write call", programPaced[k].toCall);
            printTurnarounds("program, to byte out", programPaced[k].toByteOut);
            printTurnarounds("floor, to byte out", plainPaced[k].toByteOut);
        }
    }
    Turnarounds all;
    for (int k = 0; k < 3; ++k) {
        all.add(programInstant[k].toCall, programInstant[k].toByteOut);
        all.add(programPaced[k].toCall, programPaced[k].toByteOut);
    }
    std::printf("  all exchanges, both lines\n");
    printTurnarounds("program, to write call", all.toCall);
    printTurnarounds("program, to byte out", all.toByteOut);
    std::printf("\nbench_link: %.1f s in all\n", seconds(Clock::now() - benchStart));
    return 0;
}
