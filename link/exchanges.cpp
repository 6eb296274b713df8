#include "link/exchanges.h"

#include "editor/curvecheck.h"
#include "editor/tankfile.h"
#include "store/indicatorfile.h"
#include "store/textrules.h"

#include <QElapsedTimer>
#include <QFile>

#include <cmath>

namespace kaldor {

namespace {

constexpr int kByteBase = 256;

int percentOf(double part, double whole)
{
    return whole > 0 ? static_cast<int>(roundHalfEven(part * 100.0 / whole)) : 100;
}

ExchangeResult stageResult(Outcome outcome, int stage, const QString& detail = {})
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
        r.port = {PortError::NotOpen, QStringLiteral("The serial port %1 is not open.").arg(port.name())};
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

// Waits for at least one byte and tests it for ACK. Done, or the outcome at `stage`.
ExchangeResult waitForAcknowledge(ExchangeContext& ctx, int stage)
{
    const WaitResult w = waitForBytes(ctx, ctx.bounds.replyMs, WaitFor::AtLeastOne);
    if (w != WaitResult::Ready)
        return fromWait(w, ctx.port, stage);
    const QByteArray reply = ctx.port.readAll();
    if (!isAcknowledge(reply))
        return stageResult(Outcome::Refused, stage,
                           QStringLiteral("the meter answered 0x%1").arg(quint8(reply.isEmpty() ? 0 : reply[0]), 2, 16, QLatin1Char('0')));
    return stageResult(Outcome::Done, stage);
}

void report(ExchangeContext& ctx, int percent)
{
    if (ctx.progress)
        ctx.progress(percent);
}

QString stageText(int stage) { return strNumber(static_cast<long long>(stage)); }

} // namespace

// ---- Shared operations -------------------------------------------------------------------

WaitResult waitForBytes(ExchangeContext& ctx, int msecs, WaitFor condition)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (!ctx.port.isOpen())
            return WaitResult::LineFailed;
        const int n = ctx.port.bytesWaiting();
        const bool holds = condition == WaitFor::AtLeastOne   ? n >= 1
                           : condition == WaitFor::AtLeastTwo ? n >= 2
                                                              : n == 8;
        if (holds)
            return WaitResult::Ready;
        if (ctx.cancel && ctx.cancel->load())
            return WaitResult::Cancelled;
        const qint64 left = msecs - clock.elapsed();
        if (left <= 0)
            return WaitResult::TimedOut;
        // More than 8 bytes can never become exactly 8: sleep out the bound in slices.
        ctx.port.waitForData(int(std::min<qint64>(left, timing::kWaitSliceMs)));
    }
}

void discardInput(SerialPort& port)
{
    if (port.isOpen() && port.bytesWaiting() > 0)
        port.readAll();
}

bool isAcknowledge(const QByteArray& reply)
{
    return !reply.isEmpty() && static_cast<std::uint8_t>(reply[0]) == wire::kAck;
}

bool writeCommand(SerialPort& port, const char (&letters)[3])
{
    return port.writeByte(wire::kStx) && port.writeByte(std::uint8_t(letters[0])) &&
           port.writeByte(std::uint8_t(letters[1])) && port.writeByte(wire::kCr);
}

QString lineFailureText(const ExchangeResult& r)
{
    if (r.outcome == Outcome::Cancelled)
        return QStringLiteral("The exchange with the meter was stopped at stage %1.").arg(r.stage);
    const QString why = r.port.text.isEmpty() ? QStringLiteral("The serial port is not open.") : r.port.text;
    return r.stage > 0 ? QStringLiteral("%1 The exchange stopped at stage %2.").arg(why).arg(r.stage) : why;
}

// ---- Download ----------------------------------------------------------------------------

Download downloadImage(ExchangeContext& ctx)
{
    Download d;
    SerialPort& port = ctx.port;
    discardInput(port);
    if (!writeCommand(port, "AU")) {
        d.result = lineFailed(port, 1);
        return d;
    }
    report(ctx, 0);

    WaitResult w = waitForBytes(ctx, ctx.bounds.firstReplyMs, WaitFor::AtLeastOne);
    if (w != WaitResult::Ready) {
        d.result = fromWait(w, port, 1);
        return d;
    }
    if (!isAcknowledge(port.readAll())) {
        d.result = stageResult(Outcome::Refused, 1);
        return d;
    }
    if (!port.writeByte(wire::kAck)) {
        d.result = lineFailed(port, 2);
        return d;
    }

    w = waitForBytes(ctx, ctx.bounds.replyMs, WaitFor::AtLeastTwo);
    if (w != WaitResult::Ready) {
        d.result = fromWait(w, port, 2);
        return d;
    }
    const QByteArray count = port.readAll();
    const int blocks = std::uint8_t(count[0]) * kByteBase + std::uint8_t(count[1]);
    if (blocks > layout::kMaxBlocks) {
        // The buffers end at address 25000: refuse before a block is taken.
        d.result = stageResult(Outcome::Refused, 2,
                               QStringLiteral("The meter announced %1 blocks; at most %2 fit an image.")
                                   .arg(blocks)
                                   .arg(layout::kMaxBlocks));
        return d;
    }
    d.blockCount = blocks;
    if (!port.writeByte(wire::kAck)) {
        d.result = lineFailed(port, 3);
        return d;
    }

    // The meter sends a block only after the previous one was acknowledged. An announced
    // count of 0 never completes: the read takes blocks until the meter falls silent (the
    // stage 4 time-out), and stops at the end of the buffer if it never does.
    int address = 0;
    for (int b = 1;; ++b) {
        if (blocks == 0 && b > layout::kMaxBlocks) {
            d.result = stageResult(Outcome::Refused, 4,
                                   QStringLiteral("The meter announced 0 blocks and sent more than %1.")
                                       .arg(layout::kMaxBlocks));
            return d;
        }
        w = waitForBytes(ctx, ctx.bounds.replyMs, WaitFor::ExactlyEight);
        if (w != WaitResult::Ready) {
            d.result = fromWait(w, port, 4);
            return d;
        }
        const QByteArray block = port.readAll();
        for (int i = 0; i < layout::kBlockSize && address < layout::kMaxLength; ++i)
            d.image.set(address++, std::uint8_t(block[i]));
        d.trailingValue = std::uint8_t(block[0]);
        if (!port.writeByte(wire::kAck)) {
            d.result = lineFailed(port, 4);
            return d;
        }
        report(ctx, percentOf(b, blocks));
        if (b == blocks)
            break;
    }
    d.image.setLength(std::min(address, layout::kMaxLength));
    d.result = stageResult(Outcome::Done, 4);
    return d;
}

Download downloadIndicatorFile(ExchangeContext& ctx, const QString& workingFile)
{
    Download d = downloadImage(ctx);
    if (d.result.done()) {
        const FileWriteResult written = writeIndicatorFile(workingFile, d.blockCount, d.image, d.trailingValue);
        if (written.ok)
            return d;
        d.result.outcome = Outcome::Failed;
        d.result.errorNumber = written.errorNumber;
        d.result.detail = written.detail;
    }
    QFile::remove(workingFile); // a failed read leaves no working file, even an old one
    return d;
}

Messages downloadMessages(const ExchangeResult& r, DownloadVariant variant)
{
    const bool main = variant == DownloadVariant::MainWindow;
    switch (r.outcome) {
    case Outcome::Done:
        return {info(QStringLiteral("Indicator Data Read"))};
    case Outcome::TimedOut:
        return {refusal((main ? QStringLiteral("Comm timeout ") : QStringLiteral("Comm timeout")) + stageText(r.stage))};
    case Outcome::Refused:
        if (r.stage == 1)
            return {refusal((main ? QStringLiteral("Indicator not ready ") : QStringLiteral("Nack back")) +
                            stageText(r.stage))};
        return {refusal(r.detail + QStringLiteral(" Stage") + stageText(r.stage) + u'.')};
    case Outcome::Failed:
        return {refusal(errorText(r.errorNumber))};
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        return {refusal(lineFailureText(r))};
    }
    return {};
}

// ---- Upload ------------------------------------------------------------------------------

UploadPreparation uploadSourceFromFile(const QString& path, UploadVariant variant)
{
    UploadPreparation prep;
    const auto refuse = [&](const QString& text) {
        prep.messages.append(refusal(text));
        return prep;
    };
    IndicatorFileReader reader(path);
    if (!reader.exists()) {
        if (variant == UploadVariant::MainWindow)
            return refuse(QStringLiteral("Get Indicator data first "));
        return refuse(errorText(reader.openError()));
    }
    const ValueRead high = reader.readValue();
    const ValueRead low = reader.readValue();
    if (!high.ok() || !low.ok())
        return refuse(QStringLiteral("%1 holds no block count: nothing was sent.").arg(path));
    const int blocks = high.value * kByteBase + low.value;
    if (high.value < 0 || low.value < 0 || low.value > 255 || blocks > layout::kMaxBlocks)
        return refuse(QStringLiteral("%1 announces %2 blocks; an image holds 0 to %3: nothing was sent.")
                          .arg(path)
                          .arg(blocks)
                          .arg(layout::kMaxBlocks));
    UploadSource source;
    source.blockCount = blocks;
    const int length = blocks * layout::kBlockSize;
    for (int address = 0; address < length; ++address) {
        const ValueRead v = reader.readValue();
        if (!v.ok())
            return refuse(QStringLiteral("%1 holds %2 of the %3 image values its count announces: "
                                         "nothing was sent.")
                              .arg(path)
                              .arg(address)
                              .arg(length));
        if (v.value < 0 || v.value > 255)
            return refuse(QStringLiteral("%1: value %2 at image address %3 is not a byte 0 to 255: "
                                         "nothing was sent.")
                              .arg(path)
                              .arg(v.value)
                              .arg(address));
        source.image.set(address, v.value);
    }
    source.image.setLength(length);
    // After a complete run the last image byte goes out once more as the final byte.
    source.finalByte = length > 0 ? source.image.at(length - 1) : 0;
    prep.source = source;
    return prep;
}

UploadSource uploadSourceFromImage(const IndicatorImage& image, int totalLength)
{
    UploadSource s;
    s.image = image;
    const int length = std::clamp(totalLength, 0, int(layout::kMaxLength)) / layout::kBlockSize * layout::kBlockSize;
    s.image.setLength(length);
    s.blockCount = length / layout::kBlockSize;
    s.finalByte = length > 0 ? image.at(length - 1) : 0;
    return s;
}

ExchangeResult uploadImage(ExchangeContext& ctx, const UploadSource& source, UploadVariant variant)
{
    SerialPort& port = ctx.port;
    discardInput(port);
    if (!writeCommand(port, "AD"))
        return lineFailed(port, 1);
    const int length = source.blockCount * layout::kBlockSize;
    if (variant == UploadVariant::Construction || variant == UploadVariant::Viewer)
        report(ctx, 0);

    ExchangeResult r = waitForAcknowledge(ctx, 1);
    if (!r.done())
        return r;
    if (!port.writeByte(std::uint8_t(source.blockCount / kByteBase)) ||
        !port.writeByte(std::uint8_t(source.blockCount % kByteBase)))
        return lineFailed(port, 2);
    r = waitForAcknowledge(ctx, 2);
    if (!r.done())
        return r;

    int address = 0;
    for (int block = 1; block <= source.blockCount; ++block) {
        for (int i = 0; i < layout::kBlockSize; ++i, ++address) {
            if (!port.writeByte(source.image.at(address)))
                return lineFailed(port, 3);
            if (variant == UploadVariant::Construction)
                report(ctx, percentOf(address + 1, length));
        }
        r = waitForAcknowledge(ctx, 3);
        if (!r.done())
            return r;
        if (variant == UploadVariant::Viewer)
            report(ctx, percentOf(block, source.blockCount));
    }
    if (!port.writeByte(source.finalByte))
        return lineFailed(port, 3);
    return stageResult(Outcome::Done, 3);
}

Messages uploadMessages(const ExchangeResult& r)
{
    switch (r.outcome) {
    case Outcome::Done:
        return {info(QStringLiteral("Data Sent"))};
    case Outcome::TimedOut:
        return {refusal(QStringLiteral("Comm timeout ") + stageText(r.stage))};
    case Outcome::Refused:
        return {refusal(r.stage == 1 ? QStringLiteral("Command not accepted") : QStringLiteral("Data not complete"))};
    case Outcome::Failed:
        return {refusal(errorText(r.errorNumber))};
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        return {refusal(lineFailureText(r))};
    }
    return {};
}

// ---- Single-tank send --------------------------------------------------------------------

TankSendPreparation prepareTankSend(const CurveTable& table, int pointCount, const QString& tankNumberText,
                                    const QList<int>& loadedTankNumbers, bool offsetMode)
{
    TankSendPreparation prep;
    const double number = val(tankNumberText);
    for (const int loaded : loadedTankNumbers) {
        if (loaded == number) {
            prep.messages.append(refusal(QStringLiteral("Tank number already in use.")));
            return prep;
        }
    }
    // The tank number goes out as one byte: 5.5 is sent as 6, 4.5 as 4.
    const double byte = roundHalfEven(number);
    if (!(byte >= 1 && byte <= 255)) {
        prep.messages.append(refusal(kTankNumberRefusal));
        return prep;
    }
    const EncodedCurve encoded = encodeCurve(table, pointCount, offsetMode);
    if (!encoded.ok) {
        prep.messages = encoded.messages;
        return prep;
    }
    prep.send = TankSend{static_cast<int>(byte), encoded.block(offsetMode), offsetMode};
    return prep;
}

ExchangeResult sendTankCurve(ExchangeContext& ctx, const TankSend& send, const QString& workingFile)
{
    // Stages of the exchange: the command, the tank number, the byte count, the point bytes,
    // the full-scale and offset bytes.
    constexpr int kCommandStage = 1;
    constexpr int kTankStage = 2;
    constexpr int kCountStage = 3;
    constexpr int kPointStage = 4;
    constexpr int kHeadStage = 5;
    SerialPort& port = ctx.port;
    if (!port.isOpen())
        return lineFailed(port, 0);
    port.readAll(); // whatever waits is dropped

    const auto exchange = [&]() -> ExchangeResult {
        if (!writeCommand(port, "CD"))
            return lineFailed(port, kCommandStage);
        ExchangeResult r = waitForAcknowledge(ctx, kCommandStage);
        if (!r.done())
            return r;
        if (!port.writeByte(std::uint8_t(send.tankNumber)))
            return lineFailed(port, kTankStage);
        if (!(r = waitForAcknowledge(ctx, kTankStage)).done())
            return r;
        const int count = int(send.block.size());
        if (!port.writeByte(std::uint8_t(count / kByteBase)) || !port.writeByte(std::uint8_t(count % kByteBase)))
            return lineFailed(port, kCountStage);
        if (!(r = waitForAcknowledge(ctx, kCountStage)).done())
            return r;
        // The full scale and the offset come before the points; each byte is acknowledged.
        const int headBytes = send.offsetMode ? 4 : 2;
        for (int i = 0; i < count; ++i) {
            const int stage = i < headBytes ? kHeadStage : kPointStage;
            if (!port.writeByte(std::uint8_t(send.block[i])))
                return lineFailed(port, stage);
            if (!(r = waitForAcknowledge(ctx, stage)).done())
                return r;
        }
        return stageResult(Outcome::Done, kPointStage);
    };
    const ExchangeResult result = exchange();
    if (!workingFile.isEmpty())
        QFile::remove(workingFile); // after any exchange that began, the working file is gone
    return result;
}

Messages sendTankMessages(const ExchangeResult& r)
{
    switch (r.outcome) {
    case Outcome::Done:
        return {info(QStringLiteral("Tank data sent."))};
    case Outcome::TimedOut:
        return {refusal(QStringLiteral("Comm Timeout ") + stageText(r.stage))};
    case Outcome::Refused:
        switch (r.stage) {
        case 1:
            return {refusal(QStringLiteral("NACK COMM "))};
        case 2:
            return {refusal(QStringLiteral("NACK TANK "))};
        case 3:
            return {refusal(QStringLiteral("NACK NO. BYTES "))};
        default:
            return {refusal(QStringLiteral("NACK BYTE "))};
        }
    case Outcome::Failed:
        return {refusal(errorText(r.errorNumber))};
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        return {refusal(lineFailureText(r))};
    }
    return {};
}

// ---- Clear and keypad --------------------------------------------------------------------

const char* keypadLetters(KeypadKey key)
{
    switch (key) {
    case KeypadKey::Program:
        return "PG";
    case KeypadKey::Up:
        return "UP";
    case KeypadKey::Down:
        return "DN";
    case KeypadKey::Set:
        return "SW";
    }
    return "PG";
}

std::optional<KeypadKey> keypadKeyFromLetters(const QString& letters)
{
    for (const KeypadKey k : {KeypadKey::Program, KeypadKey::Up, KeypadKey::Down, KeypadKey::Set}) {
        if (letters == QLatin1String(keypadLetters(k)))
            return k;
    }
    return std::nullopt;
}

ExchangeResult sendClearCommand(ExchangeContext& ctx)
{
    if (!writeCommand(ctx.port, "CL"))
        return lineFailed(ctx.port, 0);
    return stageResult(Outcome::Done, 0);
}

ExchangeResult sendKeypadCommand(ExchangeContext& ctx, KeypadKey key, bool discardFirst)
{
    if (discardFirst && ctx.port.isOpen())
        ctx.port.readAll();
    const char* l = keypadLetters(key);
    const char letters[3] = {l[0], l[1], 0};
    if (!writeCommand(ctx.port, letters))
        return lineFailed(ctx.port, 0);
    return stageResult(Outcome::Done, 0);
}

Messages clearMessages(const ExchangeResult& r)
{
    if (r.done())
        return {info(QStringLiteral("Clear Command Sent"))};
    return {refusal(lineFailureText(r) + QStringLiteral(" The clear command was not sent."))};
}

Messages keypadMessages(const ExchangeResult& r)
{
    if (r.done())
        return {};
    return {refusal(lineFailureText(r) + QStringLiteral(" The key was not sent to the meter."))};
}

} // namespace kaldor
