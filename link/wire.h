#pragma once
// The wire primitives every exchange with the meter is built from. A command is a frame of
// four bytes (STX, two letters, CR), each written on its own; the meter answers each step
// with one byte, ACK (0x06) to accept. Waits are real-time bounds, looked at in slices so that
// a stop calls an exchange off at its next wait.

#include "link/serialport.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

namespace kaldor {

namespace wire {
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNack = 0x15;
constexpr int kByteBase = 256; // counts go out high byte first
} // namespace wire

namespace timing {
constexpr int kReplyWaitMs = 2000;      // every wait for the meter
constexpr int kFirstReplyWaitMs = 4000; // the first reply of a read, twice the others
constexpr int kWaitSliceMs = 20;        // how often a wait looks whether it was called off
} // namespace timing

struct WaitBounds {
    int replyMs = timing::kReplyWaitMs;
    int firstReplyMs = timing::kFirstReplyWaitMs;
};

enum class WaitFor { AtLeastOne, AtLeastTwo, ExactlyEight };
enum class WaitResult { Ready, TimedOut, LineFailed, Cancelled };

struct ExchangeContext {
    SerialPort& port;
    WaitBounds bounds;
    std::function<void(int percent)> progress; // may be empty
    const std::atomic_bool* cancel = nullptr;  // set when the link is stopped mid-exchange
};

enum class Outcome {
    Done,
    TimedOut,   // no reply within the bound at `stage`
    Refused,    // the meter answered `stage` with something other than ACK
    LineFailed, // the port was not open, the line died or a byte could not go out at `stage`
    Cancelled,  // the link was stopped while the exchange waited at `stage`
    Failed,     // a file could not be written: errorNumber
};

struct ExchangeResult {
    Outcome outcome = Outcome::Done;
    int stage = 0;
    PortStatus port;     // for LineFailed
    int errorNumber = 0; // for Failed
    QString detail;      // for logs and the headless tool
    bool done() const { return outcome == Outcome::Done; }
};

// Waits until the condition holds on the bytes waiting; reads nothing itself. ExactlyEight
// holds only while exactly 8 bytes wait, so more than 8 run into the time-out.
WaitResult waitForBytes(ExchangeContext& ctx, int msecs, WaitFor condition);
// Waits as waitForBytes does, then takes every byte that was found waiting into `reply`.
// readAll() may hand them over in parts: it is called until all of them are in.
WaitResult receiveReply(ExchangeContext& ctx, int msecs, WaitFor condition, QByteArray& reply);
// Drops whatever waits at the port.
void discardInput(SerialPort& port);
// The first byte read is ACK; bytes after it are dropped.
bool isAcknowledge(const QByteArray& reply);
// 0x02, the two letters, 0x0D, each byte on its own.
bool writeCommand(SerialPort& port, const char (&letters)[3]);

// ---- Building blocks of the exchanges ----------------------------------------------------

ExchangeResult stageResult(Outcome outcome, int stage, const QString& detail = {});
// The port's own failure at `stage`, or "not open" when it has none.
ExchangeResult lineFailed(SerialPort& port, int stage);
ExchangeResult fromWait(WaitResult w, SerialPort& port, int stage);
// Waits for a reply and tests its first byte for ACK. Done, or the outcome at `stage`.
ExchangeResult waitForAcknowledge(ExchangeContext& ctx, int stage, int msecs);
inline ExchangeResult waitForAcknowledge(ExchangeContext& ctx, int stage)
{
    return waitForAcknowledge(ctx, stage, ctx.bounds.replyMs);
}
void reportProgress(ExchangeContext& ctx, int percent);
// part / whole in percent, rounded half to even; 100 when whole is 0.
int percentOf(double part, double whole);

} // namespace kaldor
