// Timing of a safe upload of the full image over a paced line served by kaldor-sim: the backup
// read, the upload and the read-back verify, through the program's QtSerialPort, against three
// times the time the bytes of one transfer take on the wire, and where the time beyond the wire
// goes: each transfer from its start to its last progress report, and the gaps between (the
// backup file written, the compare at the end). Prints the figures; decides nothing.
//
// With --replace the write is a replace of one tank of the full image instead (its read, the
// whole image written again, the verify), and the building of the new image is timed alone.
//
//   bench_safewrite [--replace] [--sim PATH]

#include "bench/support/fullimage.h"
#include "link/qtserialport.h"
#include "link/safewrite.h"
#include "store/indicatorfile.h"
#include "store/tankrecords.h"
#include "store/wordcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <vector>

#ifndef KALDOR_SIM_PATH
#error "KALDOR_SIM_PATH names the kaldor-sim executable"
#endif

using namespace kaldor;

namespace {

constexpr double kByteSeconds = 10.0 / 19200.0;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool replace = args.removeAll(QStringLiteral("--replace")) > 0;
    QString simPath = QStringLiteral(KALDOR_SIM_PATH);
    if (args.size() == 2 && args[0] == QLatin1String("--sim")) simPath = args[1];
    QTemporaryDir dir;
    const IndicatorImage meterImage = bench::fullImage();
    IndicatorImage sent = meterImage;
    sent.set(layout::kRecordAreaStart + 10,
             sent.at(layout::kRecordAreaStart + 10) ^ 1); // another image
    // The replace puts the first tank back with one value word changed: a record as long.
    const TankRecord first = decodeTankRecords(meterImage).records.value(0);
    TankSend send{first.tankNumber, {}, true};
    for (int b = 0; b < 2 * first.words.size(); ++b)
        send.block.append(char(meterImage.at(first.start + b)));
    send.block[9] = char(send.block[9] ^ 1);
    if (replace) {
        constexpr int kRuns = 200;
        std::vector<double> ms;
        for (int i = 0; i < kRuns; ++i) {
            const auto a = std::chrono::steady_clock::now();
            const TankReplacement r = replaceTankImage(meterImage, send);
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a)
                    .count());
            if (!r.source) {
                std::fprintf(stderr, "bench_safewrite: %s\n", qPrintable(r.refusal));
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("new image for a replace, 164 tanks: median %.3f ms, max %.3f ms over %d "
                    "runs (target < 10 ms)\n",
                    ms[ms.size() / 2], ms.back(), kRuns);
    }
    const QString imageFile = dir.filePath(QStringLiteral("meter.idr"));
    if (!writeIndicatorFile(imageFile, layout::kMaxBlocks, meterImage, 0).ok) return 1;

    // The meter answers at once: the line alone sets the pace.
    QProcess sim;
    sim.start(simPath, {"--image", imageFile, "--pace", "--latency", "0"});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fputs("bench_safewrite: kaldor-sim did not start\n", stderr);
        return 1;
    }
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QtSerialPort port(PortSpec{1, device});
    if (!port.open().ok()) return 1;
    // When each step started, and when it last reported progress.
    using Clock = std::chrono::steady_clock;
    std::array<Clock::time_point, 4> started{};
    std::array<Clock::time_point, 4> lastProgress{};
    int step = 0;
    ExchangeContext ctx{
        port, {}, [&](int) { lastProgress[std::size_t(step)] = Clock::now(); }, nullptr};
    SafeWriteOptions options{dir.filePath(QStringLiteral("backups")), true, true, {}, {}, {}};
    options.step = [&](SafeWriteStep s) {
        step = int(s);
        started[std::size_t(step)] = Clock::now();
    };

    const auto t0 = Clock::now();
    const SafeWrite s = replace ? safeReplaceTank(ctx, send, options)
                                : safeUpload(ctx, uploadSourceFromImage(sent, layout::kMaxLength),
                                             UploadVariant::MainWindow, options);
    const auto t1 = Clock::now();
    const double took = std::chrono::duration<double>(t1 - t0).count();
    port.close();
    sim.terminate();
    sim.waitForFinished(5000);

    // One transfer: the frame, the count, 25000 data bytes and the final byte one way, an ACK
    // per block and two more the other (a read moves as many bytes).
    const int transferBytes = 4 + 2 + layout::kMaxLength + 1 + layout::kMaxBlocks + 2;
    const double wire = 3 * transferBytes * kByteSeconds;
    std::printf("backup + %s + verify of 25000 bytes: %s, %.3f s; 3 x wire time %.3f s; ratio "
                "%.4f (target <= %s)\n",
                replace ? "replace" : "upload",
                s.outcome == SafeWriteOutcome::Verified ? "verified" : "NOT verified", took, wire,
                took / wire, replace ? "1.02" : "1.03");
    const auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    const auto backup = std::size_t(SafeWriteStep::Backup);
    const auto write = std::size_t(SafeWriteStep::Write);
    const auto verify = std::size_t(SafeWriteStep::Verify);
    std::printf("  backup read %.3f s, %.1f ms to the upload; upload %.3f s, %.1f ms to the "
                "verify; verify read %.3f s, "
                "%.1f ms to the end\n",
                seconds(started[backup], lastProgress[backup]),
                1000 * seconds(lastProgress[backup], started[write]),
                seconds(started[write], lastProgress[write]),
                1000 * seconds(lastProgress[write], started[verify]),
                seconds(started[verify], lastProgress[verify]),
                1000 * seconds(lastProgress[verify], t1));
    return s.outcome == SafeWriteOutcome::Verified ? 0 : 1;
}
