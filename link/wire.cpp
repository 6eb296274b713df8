#include "link/wire.h"

#include "store/textrules.h"

#include <QElapsedTimer>

#include <algorithm>
#include <optional>

namespace kaldor {

namespace {
bool calledOff(const ExchangeContext& ctx)
{
    return ctx.cancel && ctx.cancel->load();
}

// One pass of a wait that found nothing to take: the reason to give up, or nullopt after the
// port has been given a slice of the bound to bring more.
std::optional<WaitResult> waitSlice(ExchangeContext& ctx, const QElapsedTimer& clock, int msecs)
{
    if (!ctx.port.isOpen()) return WaitResult::LineFailed;
    if (calledOff(ctx)) return WaitResult::Cancelled;
    const qint64 left = msecs - clock.elapsed();
    if (left <= 0) return WaitResult::TimedOut;
    ctx.port.waitForData(int(std::min<qint64>(left, timing::kWaitSliceMs)));
    return std::nullopt;
}

// The wait of waitForBytes; *seen gets the count that made the condition hold.
WaitResult waitCounting(ExchangeContext& ctx, int msecs, WaitFor condition, int* seen)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (!ctx.port.isOpen()) return WaitResult::LineFailed;
        const int n = ctx.port.bytesWaiting();
        const bool holds = condition == WaitFor::AtLeastOne   ? n >= 1
                           : condition == WaitFor::AtLeastTwo ? n >= 2
                                                              : n == 8;
        if (holds) {
            *seen = n;
            return WaitResult::Ready;
        }
        // More than 8 bytes can never become exactly 8: the bound is slept out in slices.
        if (const auto end = waitSlice(ctx, clock, msecs)) return *end;
    }
}
} // namespace

WaitResult waitForBytes(ExchangeContext& ctx, int msecs, WaitFor condition)
{
    int seen = 0;
    return waitCounting(ctx, msecs, condition, &seen);
}

WaitResult receiveReply(ExchangeContext& ctx, int msecs, WaitFor condition, QByteArray& reply)
{
    reply.clear();
    int wanted = 0;
    const WaitResult w = waitCounting(ctx, msecs, condition, &wanted);
    if (w != WaitResult::Ready) return w;
    // The bytes counted are in the port's hands already; a readAll that hands over fewer is
    // called again. The bound only guards against a port that never hands them over.
    QElapsedTimer clock;
    clock.start();
    while (reply.size() < wanted) {
        const QByteArray part = ctx.port.readAll();
        reply += part;
        if (part.isEmpty()) {
            if (const auto end = waitSlice(ctx, clock, msecs)) return *end;
        }
    }
    return WaitResult::Ready;
}

void discardInput(SerialPort& port)
{
    // Bounded: a port that keeps handing over bytes is left with the rest.
    for (int round = 0; round < 64 && port.isOpen() && port.bytesWaiting() > 0; ++round) {
        if (port.readAll().isEmpty()) break;
    }
}

bool isAcknowledge(const QByteArray& reply)
{
    return !reply.isEmpty() && static_cast<std::uint8_t>(reply[0]) == wire::kAck;
}

bool writeCommand(SerialPort& port, const char (&letters)[3])
{
    port.commandFollows(letters);
    return port.writeByte(wire::kStx) && port.writeByte(std::uint8_t(letters[0])) &&
           port.writeByte(std::uint8_t(letters[1])) && port.writeByte(wire::kCr);
}

ExchangeResult stageResult(Outcome outcome, int stage, const QString& detail)
{
    ExchangeResult r;
    r.outcome = outcome;
    r.stage = stage;
    r.detail = detail;
    return r;
}

ExchangeResult lineFailed(SerialPort& port, int stage)
{
    ExchangeResult r = stageResult(Outcome::LineFailed, stage);
    r.port = port.lastError();
    if (r.port.ok())
        r.port = {PortError::NotOpen,
                  QStringLiteral("The serial port %1 is not open.").arg(port.name())};
    r.detail = r.port.text;
    return r;
}

ExchangeResult fromWait(WaitResult w, SerialPort& port, int stage)
{
    switch (w) {
    case WaitResult::TimedOut:
        return stageResult(Outcome::TimedOut, stage);
    case WaitResult::Cancelled:
        return stageResult(Outcome::Cancelled, stage);
    case WaitResult::LineFailed:
        return lineFailed(port, stage);
    case WaitResult::Ready:
        break;
    }
    return stageResult(Outcome::Done, stage);
}

ExchangeResult waitForAcknowledge(ExchangeContext& ctx, int stage, int msecs)
{
    QByteArray reply;
    const WaitResult w = receiveReply(ctx, msecs, WaitFor::AtLeastOne, reply);
    if (w != WaitResult::Ready) return fromWait(w, ctx.port, stage);
    if (!isAcknowledge(reply))
        return stageResult(Outcome::Refused, stage,
                           QStringLiteral("the meter answered 0x%1")
                               .arg(quint8(reply[0]), 2, 16, QLatin1Char('0')));
    return stageResult(Outcome::Done, stage);
}

void reportProgress(ExchangeContext& ctx, int percent)
{
    if (ctx.progress) ctx.progress(percent);
}

int percentOf(double part, double whole)
{
    return whole > 0 ? static_cast<int>(roundHalfEven(part * 100.0 / whole)) : 100;
}

} // namespace kaldor
