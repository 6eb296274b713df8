#include "link/tankexchange.h"

#include <QFile>

namespace kaldor {

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
    if (!port.isOpen()) return lineFailed(port, 0);
    discardInput(port); // whatever waits is dropped

    const auto exchange = [&]() -> ExchangeResult {
        if (!writeCommand(port, "CD")) return lineFailed(port, kCommandStage);
        ExchangeResult r = waitForAcknowledge(ctx, kCommandStage);
        if (!r.done()) return r;
        if (!port.writeByte(std::uint8_t(send.tankNumber))) return lineFailed(port, kTankStage);
        if (!(r = waitForAcknowledge(ctx, kTankStage)).done()) return r;
        const int count = int(send.block.size());
        if (!port.writeByte(std::uint8_t(count / wire::kByteBase)) ||
            !port.writeByte(std::uint8_t(count % wire::kByteBase)))
            return lineFailed(port, kCountStage);
        if (!(r = waitForAcknowledge(ctx, kCountStage)).done()) return r;
        // The full scale and the offset come before the points; each byte is acknowledged.
        const int headBytes = send.offsetMode ? 4 : 2;
        for (int i = 0; i < count; ++i) {
            const int stage = i < headBytes ? kHeadStage : kPointStage;
            if (!port.writeByte(std::uint8_t(send.block[i]))) return lineFailed(port, stage);
            if (!(r = waitForAcknowledge(ctx, stage)).done()) return r;
        }
        return stageResult(Outcome::Done, kPointStage);
    };
    const ExchangeResult result = exchange();
    if (!workingFile.isEmpty())
        QFile::remove(workingFile); // after any exchange that began, the working file is gone
    return result;
}

} // namespace kaldor
