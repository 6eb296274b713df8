#pragma once
// Every exchange with the meter, as straight-line code over a SerialPort. A command is a frame
// of four bytes (STX, two letters, CR), each written on its own; the meter answers each step
// with one byte, ACK (0x06) to accept. Waits are real-time bounds. Each exchange returns what
// happened; the functions at the end turn that into the texts each window shows.

#include "editor/curvetable.h"
#include "link/serialport.h"
#include "store/indicatorimage.h"
#include "store/messages.h"

#include <QList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

namespace kaldor {

namespace wire {
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNack = 0x15;
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
    std::function<void(int percent)> progress;   // may be empty
    const std::atomic_bool* cancel = nullptr;    // set when the program closes mid-exchange
};

// Waits until the condition holds on the bytes waiting; reads nothing itself. ExactlyEight
// holds only while exactly 8 bytes wait, so more than 8 run into the time-out.
WaitResult waitForBytes(ExchangeContext& ctx, int msecs, WaitFor condition);
// Drops whatever waits at the port.
void discardInput(SerialPort& port);
// The first byte read is ACK; bytes after it are dropped.
bool isAcknowledge(const QByteArray& reply);
// 0x02, the two letters, 0x0D, each byte on its own.
bool writeCommand(SerialPort& port, const char (&letters)[3]);

enum class Outcome {
    Done,
    TimedOut,   // no reply within the bound at `stage`
    Refused,    // the meter answered `stage` with something other than ACK
    LineFailed, // the port was not open or the line died at `stage`
    Cancelled,  // the program closed while the exchange waited at `stage`
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

// ---- Reading the whole image ("AU") ----------------------------------------------------

enum class DownloadVariant { MainWindow, Editor };

struct Download {
    ExchangeResult result;
    IndicatorImage image; // length 8 x blockCount when done
    int blockCount = 0;
    int trailingValue = 0; // the first byte of the last block, as the working file keeps it
};

// The wire exchange alone; progress once a block, rounded half to even. An announced count
// above 3125 blocks is refused at stage 2 before any block is taken.
Download downloadImage(ExchangeContext& ctx);
// The exchange and the working file: written (atomically) only after the last block, deleted
// after any failure, so a failed read leaves no working file.
Download downloadIndicatorFile(ExchangeContext& ctx, const QString& workingFile);
Messages downloadMessages(const ExchangeResult& result, DownloadVariant variant);

// ---- Writing the whole image ("AD") ----------------------------------------------------

enum class UploadVariant { MainWindow, FileManagement, Viewer, Construction };

struct UploadSource {
    IndicatorImage image; // 8 x blockCount bytes
    int blockCount = 0;
    std::uint8_t finalByte = 0; // sent after the last block: the last image byte again
};

struct UploadPreparation {
    std::optional<UploadSource> source;
    Messages messages; // why there is none
};

// Reads and checks the whole file before anything is sent: a missing file, fewer values than
// the count announces, or a value outside 0 .. 255 are refused.
UploadPreparation uploadSourceFromFile(const QString& path, UploadVariant variant);
// The construction window's built image: totalLength / 8 blocks.
UploadSource uploadSourceFromImage(const IndicatorImage& image, int totalLength);
// Progress: the viewer once a block, the construction window once a byte, the others none.
ExchangeResult uploadImage(ExchangeContext& ctx, const UploadSource& source, UploadVariant variant);
Messages uploadMessages(const ExchangeResult& result);

// ---- Sending one tank ("CD") -----------------------------------------------------------

struct TankSend {
    int tankNumber = 0;
    QByteArray block; // full scale, the offset (offset-capable layout), the points
    bool offsetMode = true;
};

struct TankSendPreparation {
    std::optional<TankSend> send;
    Messages messages; // why there is none
};

// The checks made before anything is written: the tank number not in the loaded image, a
// tank number byte 1 .. 255, and a curve that encodes (last percentage, words 0 .. 32767,
// full scale 1 .. 65535).
TankSendPreparation prepareTankSend(const CurveTable& table, int pointCount, const QString& tankNumberText,
                                    const QList<int>& loadedTankNumbers, bool offsetMode);
// The exchange; after any exchange that began the working file is deleted.
ExchangeResult sendTankCurve(ExchangeContext& ctx, const TankSend& send, const QString& workingFile);
Messages sendTankMessages(const ExchangeResult& result);

// ---- Clear and the keypad ("CL", "PG", "UP", "DN", "SW") -------------------------------

enum class KeypadKey { Program, Up, Down, Set };
const char* keypadLetters(KeypadKey key);
std::optional<KeypadKey> keypadKeyFromLetters(const QString& letters);

// No reply is read. Fails only when the bytes could not be written.
ExchangeResult sendClearCommand(ExchangeContext& ctx);
// discardFirst: the keypad window drops what waits before it sends "PG".
ExchangeResult sendKeypadCommand(ExchangeContext& ctx, KeypadKey key, bool discardFirst = false);
Messages clearMessages(const ExchangeResult& result);
// Empty when done: the keypad shows nothing.
Messages keypadMessages(const ExchangeResult& result);

// The text for a line that failed or an exchange that was called off, shared by all.
QString lineFailureText(const ExchangeResult& result);

} // namespace kaldor
