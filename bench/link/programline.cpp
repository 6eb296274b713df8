#include "bench/link/programline.h"

#include "link/exchanges.h"

#include <cstdio>
#include <memory>

namespace kaldor::bench {

namespace {

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

} // namespace

// One exchange through the program, on its own open of the port; the time of the exchange
// alone in seconds, negative on failure.
// With a traffic log, the port is wrapped as the link wraps it and the outcome recorded.
double runProgram(const Job& job, const QString& device, Turnarounds* turnarounds, TraceLog* trace)
{
    // A device path or a device server's address, as the program takes it.
    const std::optional<PortSpec> portSpec = PortSpec::parse(device);
    if (!portSpec) {
        std::fprintf(stderr, "bench_link: %s is no port\n", qPrintable(device));
        return -1;
    }
    const std::unique_ptr<SerialPort> port = makeSerialPort(*portSpec);
    SerialPort& qt = *port;
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
        r = uploadImage(ctx, uploadSourceFromImage(job.image, layout::kMaxLength),
                        UploadVariant::MainWindow);
        ok = r.done();
        break;
    case Kind::Send:
        r = sendTankCurve(ctx, job.send, QString());
        ok = r.done();
        break;
    }
    if (trace) trace->recordOutcome(r);
    if (!ok)
        std::fprintf(stderr, "bench_link: the exchange ended at stage %d: %s%s\n", r.stage,
                     qPrintable(r.detail), qPrintable(r.port.text));
    const Clock::time_point end = Clock::now();
    qt.close();
    if (turnarounds) turnarounds->add(timed.toCall, timed.toByteOut);
    return ok ? seconds(end - start) : -1;
}

} // namespace kaldor::bench
