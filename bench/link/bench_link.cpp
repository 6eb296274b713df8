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
//   bench_link [--quick] [--runs N] [--latency US] [--sim PATH] [--profile KIND:SIDE[:paced]]
//   --quick skips the paced read and write of the full image (some 15 s each, twice);
//   --profile runs one exchange on one side only (read|write|send : program|floor), for perf.

#include "editor/tanksend.h"
#include "link/exchanges.h"
#include "link/qtserialport.h"
#include "link/tracelog.h"
#include "store/curvecheck.h"
#include "store/curvetable.h"
#include "store/indicatorfile.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#ifndef KALDOR_SIM_PATH
#error "KALDOR_SIM_PATH names the kaldor-sim executable"
#endif

using namespace kaldor;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultRuns = 7;
constexpr int kPacedSendRuns = 3;
constexpr int kDefaultLatencyUs = 0; // the meter answers at once: the line alone sets the pace
constexpr int kPoints = 100;
constexpr int kTankNumber = 7;
constexpr int kReplyWaitMs = timing::kReplyWaitMs;
constexpr double kByteSeconds = 10.0 / 19200.0; // start, 8 data, stop at 19200 baud

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }
double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Nearest rank.
double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t rank = std::size_t(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<std::size_t>(rank, 1, v.size()) - 1];
}

// ---- What is sent ------------------------------------------------------------------------

// 25000 bytes that run through every byte value, 0x0D and the flow-control bytes included.
std::vector<std::uint8_t> fullImageBytes()
{
    std::vector<std::uint8_t> bytes(layout::kMaxLength);
    std::uint32_t x = 0x2545F491u;
    for (std::uint8_t& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = std::uint8_t(x >> 24);
    }
    return bytes;
}

IndicatorImage imageOf(const std::vector<std::uint8_t>& bytes)
{
    IndicatorImage image;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        image.set(int(i), bytes[i]);
    image.setLength(int(bytes.size()));
    return image;
}

// 100 points, 0 % to 99.99 %, values rising from 100.
CurveTable hundredPointTable()
{
    CurveTable t;
    for (int row = 1; row <= kPoints; ++row) {
        t.setValue(row, QString::number(100 + 25 * (row - 1)));
        const double percent = row == kPoints ? 99.99 : (row - 1) * 1.01;
        t.setPercent(row, QString::number(percent, 'f', 2));
    }
    return t;
}

enum class Kind { Download, Upload, Send };
const char* kindName(Kind k)
{
    switch (k) {
    case Kind::Download:
        return "read image (AU, 3125 blocks)";
    case Kind::Upload:
        return "write image (AD, 3125 blocks)";
    case Kind::Send:
        return "send tank (CD, 100 points)";
    }
    return "";
}

// The bytes each exchange puts on the line, and how often the meter answers.
struct LineCount {
    int toMeter = 0;
    int fromMeter = 0;
    int replies = 0;
    int unanswered = 0; // bytes the program writes last, which no reply follows
    int total() const { return toMeter + fromMeter; }
};

LineCount lineCount(Kind k, int blocks, int sendBytes)
{
    switch (k) {
    case Kind::Download: // frame, ACK, ACK to the count, one ACK a block; ACK, count, blocks
        return {4 + 1 + 1 + blocks, 1 + 2 + layout::kBlockSize * blocks, 2 + blocks, 1};
    case Kind::Upload: // frame, count, blocks, the final byte; ACK to the frame, the count, each block
        return {4 + 2 + layout::kBlockSize * blocks + 1, 2 + blocks, 2 + blocks, 1};
    case Kind::Send: // frame, tank, count, data; ACK to each
        return {4 + 1 + 2 + sendBytes, 3 + sendBytes, 3 + sendBytes, 0};
    }
    return {};
}

// ---- The meter ---------------------------------------------------------------------------

class Meter {
public:
    bool start(const QString& program, const QStringList& args)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, args);
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
            m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        if (m_device.isEmpty())
            std::fprintf(stderr, "bench_link: %s did not start\n", qPrintable(program));
        return !m_device.isEmpty();
    }
    ~Meter()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(1000);
        }
    }
    QString device() const { return m_device; }

private:
    QProcess m_process;
    QString m_device;
};

// ---- The program's side: QtSerialPort under a decorator that times each byte ------------

// Passes every call to the port it wraps. A call that finds more bytes waiting than were
// known marks the time the latest bytes were in hand (the wait that woke for them, when one
// did); the next byte written is paired with that time.
class TimedPort : public SerialPort {
public:
    explicit TimedPort(SerialPort& inner) : m_inner(inner) {}

    QString name() const override { return m_inner.name(); }
    PortStatus open() override { return m_inner.open(); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    PortStatus lastError() const override { return m_inner.lastError(); }

    int bytesWaiting() override
    {
        const int n = m_inner.bytesWaiting();
        seen(n);
        return n;
    }
    QByteArray readAll() override
    {
        QByteArray bytes = m_inner.readAll();
        seen(int(bytes.size()));
        m_known = 0;
        return bytes;
    }
    bool waitForData(int msecs) override
    {
        const bool arrived = m_inner.waitForData(msecs);
        if (arrived && !m_woke) {
            m_woke = true;
            m_wokeAt = Clock::now();
        }
        return arrived;
    }
    bool writeByte(std::uint8_t byte) override
    {
        const Clock::time_point before = Clock::now();
        const bool ok = m_inner.writeByte(byte);
        const Clock::time_point after = Clock::now();
        if (m_replyInHand) {
            toCall.push_back(microseconds(before - m_inHandAt));
            toByteOut.push_back(microseconds(after - m_inHandAt));
            m_replyInHand = false;
        }
        return ok;
    }

    std::vector<double> toCall;    // last reply byte in hand to the write called
    std::vector<double> toByteOut; // ... to the write returned: the byte is with the driver

private:
    void seen(int n)
    {
        const Clock::time_point now = Clock::now();
        if (n > m_known) {
            m_inHandAt = m_woke ? m_wokeAt : now;
            m_replyInHand = true;
        }
        m_known = n;
        m_woke = false;
    }

    SerialPort& m_inner;
    int m_known = 0;
    bool m_woke = false;
    bool m_replyInHand = false;
    Clock::time_point m_wokeAt{};
    Clock::time_point m_inHandAt{};
};

struct Job {
    Kind kind = Kind::Download;
    IndicatorImage image;               // what the meter holds and what is written
    std::vector<std::uint8_t> bytes;    // the same, for the plain loop
    TankSend send;
    std::vector<std::uint8_t> sendBytes;
};

// Turnaround samples, in microseconds.
struct Turnarounds {
    std::vector<double> toCall;    // program: last reply byte in hand to the write called
    std::vector<double> toByteOut; // program: ... to the write returned; the plain loop: to write()
    void add(const std::vector<double>& call, const std::vector<double>& out)
    {
        toCall.insert(toCall.end(), call.begin(), call.end());
        toByteOut.insert(toByteOut.end(), out.begin(), out.end());
    }
};

// One exchange through the program, on its own open of the port; the time of the exchange
// alone in seconds, negative on failure.
// With a traffic log, the port is wrapped as the link wraps it and the outcome recorded.
double runProgram(const Job& job, const QString& device, Turnarounds* turnarounds, TraceLog* trace = nullptr)
{
    QtSerialPort qt(PortSpec{1, device});
    std::shared_ptr<TraceLog> log(trace, [](TraceLog*) {});
    TracingPort traced(qt, log);
    SerialPort& base = trace ? static_cast<SerialPort&>(traced) : static_cast<SerialPort&>(qt);
    TimedPort timed(base);
    SerialPort& line = turnarounds ? static_cast<SerialPort&>(timed) : base;
    if (!qt.open().ok()) {
        std::fprintf(stderr, "bench_link: %s\n", qPrintable(qt.lastError().text));
        return -1;
    }
    ExchangeContext ctx{line, {}, {}, nullptr};
    bool ok = false;
    ExchangeResult r;
    const Clock::time_point start = Clock::now();
    switch (job.kind) {
    case Kind::Download: {
        const Download d = downloadImage(ctx);
        r = d.result;
        ok = d.result.done() && d.blockCount == layout::kMaxBlocks && d.image == job.image;
        break;
    }
    case Kind::Upload:
        r = uploadImage(ctx, uploadSourceFromImage(job.image, layout::kMaxLength), UploadVariant::MainWindow);
        ok = r.done();
        break;
    case Kind::Send:
        r = sendTankCurve(ctx, job.send, QString());
        ok = r.done();
        break;
    }
    if (trace)
        trace->recordOutcome(r);
    const Clock::time_point end = Clock::now();
    qt.close();
    if (turnarounds)
        turnarounds->add(timed.toCall, timed.toByteOut);
    return ok ? seconds(end - start) : -1;
}

// ---- The floor: a plain blocking loop on the same pseudo-terminal ---------------------------

class PlainLine {
public:
    ~PlainLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool open(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (m_fd < 0)
            return false;
        termios t{};
        if (tcgetattr(m_fd, &t) != 0)
            return false;
        cfmakeraw(&t);
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        return tcsetattr(m_fd, TCSANOW, &t) == 0;
    }
    bool put(std::uint8_t b)
    {
        const bool ok = ::write(m_fd, &b, 1) == 1;
        if (m_record && m_inHand) {
            turnarounds.push_back(microseconds(Clock::now() - m_inHandAt));
            m_inHand = false;
        }
        return ok;
    }
    // Exactly n bytes, each wait bounded as the program bounds it.
    bool take(std::uint8_t* into, int n)
    {
        int got = 0;
        while (got < n) {
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, kReplyWaitMs);
            if (ready <= 0 || !(p.revents & POLLIN)) {
                std::fprintf(stderr, "bench_link: no reply (%d of %d bytes, poll %d, revents %#x)\n", got, n, ready,
                             unsigned(p.revents));
                return false;
            }
            const ssize_t r = ::read(m_fd, into + got, std::size_t(n - got));
            if (r <= 0) {
                std::fprintf(stderr, "bench_link: read: %s\n", r < 0 ? std::strerror(errno) : "end of file");
                return false;
            }
            got += int(r);
        }
        if (m_record) {
            m_inHandAt = Clock::now();
            m_inHand = true;
        }
        return true;
    }
    bool ack()
    {
        std::uint8_t b = 0;
        if (!take(&b, 1))
            return false;
        if (b != wire::kAck)
            std::fprintf(stderr, "bench_link: the meter answered %#x\n", unsigned(b));
        return b == wire::kAck;
    }
    bool frame(char a, char b)
    {
        return put(wire::kStx) && put(std::uint8_t(a)) && put(std::uint8_t(b)) && put(wire::kCr);
    }
    // Times each byte written after a reply, from the reply's last byte read.
    void record() { m_record = true; }
    std::vector<double> turnarounds;

private:
    int m_fd = -1;
    bool m_record = false;
    bool m_inHand = false;
    Clock::time_point m_inHandAt{};
};

bool plainDownload(PlainLine& line, const std::vector<std::uint8_t>& expected)
{
    if (!line.frame('A', 'U') || !line.ack() || !line.put(wire::kAck))
        return false;
    std::uint8_t count[2];
    if (!line.take(count, 2))
        return false;
    const int blocks = count[0] * 256 + count[1];
    if (blocks != layout::kMaxBlocks) {
        std::fprintf(stderr, "bench_link: the meter announced %d blocks\n", blocks);
        return false;
    }
    if (!line.put(wire::kAck))
        return false;
    std::vector<std::uint8_t> image(std::size_t(blocks) * layout::kBlockSize);
    for (int b = 0; b < blocks; ++b) {
        if (!line.take(image.data() + std::size_t(b) * layout::kBlockSize, layout::kBlockSize) ||
            !line.put(wire::kAck))
            return false;
    }
    if (image != expected)
        std::fputs("bench_link: the image read is not the meter's\n", stderr);
    return image == expected;
}

bool plainUpload(PlainLine& line, const std::vector<std::uint8_t>& bytes)
{
    const int blocks = int(bytes.size()) / layout::kBlockSize;
    if (!line.frame('A', 'D') || !line.ack() || !line.put(std::uint8_t(blocks / 256)) ||
        !line.put(std::uint8_t(blocks % 256)) || !line.ack())
        return false;
    std::size_t i = 0;
    for (int b = 0; b < blocks; ++b) {
        for (int k = 0; k < layout::kBlockSize; ++k)
            if (!line.put(bytes[i++]))
                return false;
        if (!line.ack())
            return false;
    }
    return line.put(bytes.back());
}

bool plainSend(PlainLine& line, int tank, const std::vector<std::uint8_t>& data)
{
    const int n = int(data.size());
    if (!line.frame('C', 'D') || !line.ack() || !line.put(std::uint8_t(tank)) || !line.ack() ||
        !line.put(std::uint8_t(n / 256)) || !line.put(std::uint8_t(n % 256)) || !line.ack())
        return false;
    for (const std::uint8_t b : data)
        if (!line.put(b) || !line.ack())
            return false;
    return true;
}

double runPlain(const Job& job, const std::string& device, Turnarounds* turnarounds)
{
    PlainLine line;
    if (turnarounds)
        line.record();
    if (!line.open(device)) {
        std::fprintf(stderr, "bench_link: %s: %s\n", device.c_str(), std::strerror(errno));
        return -1;
    }
    bool ok = false;
    const Clock::time_point start = Clock::now();
    switch (job.kind) {
    case Kind::Download:
        ok = plainDownload(line, job.bytes);
        break;
    case Kind::Upload:
        ok = plainUpload(line, job.bytes);
        break;
    case Kind::Send:
        ok = plainSend(line, job.send.tankNumber, job.sendBytes);
        break;
    }
    const Clock::time_point end = Clock::now();
    if (turnarounds)
        turnarounds->add(line.turnarounds, line.turnarounds);
    return ok ? seconds(end - start) : -1;
}

// ---- Reporting ---------------------------------------------------------------------------

void printTurnarounds(const char* who, const std::vector<double>& v)
{
    std::printf("    %-48s n=%-6zu median %7.1f us   p99 %7.1f us   max %8.1f us\n", who, v.size(), median(v),
                percentile(v, 99), v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
}

struct Options {
    bool quick = false;
    int runs = kDefaultRuns;
    int latencyUs = kDefaultLatencyUs;
    QString sim = QStringLiteral(KALDOR_SIM_PATH);
    QString profile; // "read|write|send:program|floor[:paced]": only those runs, for a profiler
};

// One run of the program, then one of the floor, on the same line. False (and said) when
// either fails; the times go to the vectors given.
bool runBoth(const Job& job, const QString& device, const char* what, Turnarounds* programTurns,
             Turnarounds* plainTurns, std::vector<double>* program = nullptr, std::vector<double>* plain = nullptr)
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
    if (program)
        program->push_back(tp);
    if (plain)
        plain->push_back(tf);
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
        else {
            std::fputs("Usage: bench_link [--quick] [--runs N] [--latency US] [--sim PATH]\n"
                       "                  [--profile read|write|send:program|floor[:paced]]\n", stderr);
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString imageFile = dir.filePath(QStringLiteral("full.idr"));
    const std::vector<std::uint8_t> bytes = fullImageBytes();
    const IndicatorImage image = imageOf(bytes);
    if (!writeIndicatorFile(imageFile, layout::kMaxBlocks, image, image.at(layout::kMaxLength - layout::kBlockSize)).ok) {
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
    const TankSendPreparation prep = prepareTankSend(table, pointCount, QString::number(kTankNumber), {}, true);
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
    std::printf("image %d bytes (%d blocks); tank %d: %d points, %d data bytes\n\n", int(bytes.size()),
                layout::kMaxBlocks, kTankNumber, kPoints, sendBytes);

    const QStringList imageArgs = {QStringLiteral("--image"), imageFile};
    const QStringList pacedArgs =
        imageArgs + QStringList{QStringLiteral("--pace"), QStringLiteral("--latency"), QString::number(opt.latencyUs)};
    const double latency = opt.latencyUs / 1e6;

    if (!opt.profile.isEmpty()) {
        // Only the runs named, each timed, so that a profiler sees nothing else.
        const QStringList p = opt.profile.split(u':');
        const int k = p.value(0) == QLatin1String("read") ? 0 : p.value(0) == QLatin1String("write") ? 1 : 2;
        const bool plainSide = p.value(1) == QLatin1String("floor");
        const bool paced = p.value(2) == QLatin1String("paced");
        Meter meter;
        if (!meter.start(opt.sim, paced ? pacedArgs : imageArgs))
            return 1;
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
    std::printf("(a) Instant line (kaldor-sim unpaced): median of %d runs after one not counted; program and\n"
                "    floor alternate, each on its own open of the same pseudo-terminal; exchange time only.\n",
                opt.runs);
    std::printf("  %-30s %10s %21s %10s %21s %7s %10s\n", "exchange", "program s", "(min .. max)", "floor s",
                "(min .. max)", "ratio", "decorated");
    for (int k = 0; k < 3; ++k) {
        const Job& job = jobs[k];
        Meter meter;
        if (!meter.start(opt.sim, imageArgs))
            return 1;
        const QString device = meter.device();
        if (!runBoth(job, device, "warm-up run", nullptr, nullptr))
            return 1;
        std::vector<double> program, plain, decorated, traced;
        for (int r = 0; r < opt.runs; ++r) {
            if (!runBoth(job, device, "timed run", nullptr, nullptr, &program, &plain))
                return 1;
            const double tt = runProgram(job, device, nullptr, &traceLog);
            if (tt < 0)
                return 1;
            traced.push_back(tt);
        }
        // Turnarounds from runs of their own, so that no clock reading sits in the timed ones.
        for (int r = 0; r < std::max(1, opt.runs / 2); ++r) {
            if (!runBoth(job, device, "recorded run", &programInstant[k], &plainInstant[k], &decorated))
                return 1;
        }
        const double mp = median(program);
        const double mf = median(plain);
        std::printf("  %-30s %10.4f   (%7.4f .. %7.4f) %10.4f   (%7.4f .. %7.4f) %6.2fx %10.4f\n", kindName(job.kind),
                    mp, *std::min_element(program.begin(), program.end()),
                    *std::max_element(program.begin(), program.end()), mf,
                    *std::min_element(plain.begin(), plain.end()), *std::max_element(plain.begin(), plain.end()),
                    mp / mf, median(decorated));
        tracedRows.push_back({kindName(job.kind), mp, median(traced)});
    }
    std::printf("  target: program / floor <= 1.50x.  'decorated': median with the timing decorator of (c).\n\n");

    // ---- Paced line ----
    const double bt = kByteSeconds;
    std::printf("(b) Paced line (kaldor-sim --pace --latency %d): one byte = 10 bit times = %.1f us.\n", opt.latencyUs,
                bt * 1e6);
    std::printf("    wire   = every byte on the line, both directions, x 10 / 19200 s\n"
                "    line   = wire + one latency per meter reply (the same as wire at --latency 0)\n");
    std::printf("  %-30s %6s %7s %4s %8s %8s %8s %8s %9s %9s %9s\n", "exchange", "bytes", "replies", "runs",
                "program", "floor", "wire", "line", "prog/wire", "prog/line", "floor/line");
    std::vector<TracedRow> pacedTracedRows;
    Turnarounds programPaced[3];
    Turnarounds plainPaced[3];
    for (int k = 0; k < 3; ++k) {
        const Job& job = jobs[k];
        const LineCount count = lineCount(job.kind, layout::kMaxBlocks, sendBytes);
        if (opt.quick && job.kind != Kind::Send) {
            std::printf("  %-30s %6d %7d  skipped (--quick)\n", kindName(job.kind), count.total(), count.replies);
            continue;
        }
        Meter meter;
        if (!meter.start(opt.sim, pacedArgs))
            return 1;
        const int runs = job.kind == Kind::Send ? kPacedSendRuns : 1;
        std::vector<double> program, plain, traced;
        for (int r = 0; r < runs; ++r) {
            // Decorated: on a paced line its clock readings are lost in the waits.
            if (!runBoth(job, meter.device(), "paced run", &programPaced[k], &plainPaced[k], &program, &plain))
                return 1;
            const double tt = runProgram(job, meter.device(), nullptr, &traceLog);
            if (tt < 0)
                return 1;
            traced.push_back(tt);
        }
        pacedTracedRows.push_back({kindName(job.kind), median(program), median(traced)});
        const double wire = count.total() * bt;
        const double lineTime = wire + count.replies * latency;
        const double mp = median(program);
        const double mf = median(plain);
        std::printf("  %-30s %6d %7d %4d %8.3f %8.3f %8.3f %8.3f %8.3fx %8.3fx %8.3fx\n", kindName(job.kind),
                    count.total(), count.replies, runs, mp, mf, wire, lineTime, mp / wire, mp / lineTime,
                    mf / lineTime);
    }
    std::printf("  target: program / line <= 1.03x (with --latency 0, program / wire).\n\n");

    // ---- Traffic log ----
    std::printf("(d) The line's traffic log on (every byte recorded, as in the windows) against off: medians of the\n"
                "    program's runs above, the traced ones alternating with the plain ones. Target: within 2 %%.\n");
    std::printf("  %-38s %10s %10s %8s\n", "exchange", "log off s", "log on s", "on/off");
    const auto printTraced = [](const char* line, const std::vector<TracedRow>& rows) {
        for (const TracedRow& row : rows)
            std::printf("  %-8s%-30s %10.4f %10.4f %7.3fx\n", line, row.name, row.off, row.on, row.on / row.off);
    };
    printTraced("(a)", tracedRows);
    printTraced("(b)", pacedTracedRows);
    // Wall-clock medians on a shared machine move by several per cent from run to run, more than
    // the log costs; so the log's own work for each exchange's bytes is also timed alone: every
    // byte out recorded one by one, every reply recorded as the chunk the program reads.
    std::printf("  the log's own work, timed alone (median of 15), against the log-off median of (a):\n");
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
    std::printf("(c) Turnaround: from the last byte of a meter reply in the program's hands to its next byte out\n"
                "    'to write call': until SerialPort::writeByte is called; 'to byte out': until it returns\n"
                "    (QSerialPort has handed the byte to the driver). Floor: read() of the last byte to write().\n");
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
