#include "link/download.h"

#include "store/indicatorfile.h"
#include "store/inputfile.h"

#include <QFile>

#include <algorithm>

namespace kaldor {

Download downloadImage(ExchangeContext& ctx)
{
    Download d;
    SerialPort& port = ctx.port;
    discardInput(port);
    if (!writeCommand(port, "AU")) {
        d.result = lineFailed(port, 1);
        return d;
    }
    reportProgress(ctx, 0);

    ExchangeResult r = waitForAcknowledge(ctx, 1, ctx.bounds.firstReplyMs);
    if (!r.done()) {
        d.result = r;
        return d;
    }
    if (!port.writeByte(wire::kAck)) {
        d.result = lineFailed(port, 2);
        return d;
    }

    QByteArray reply;
    WaitResult w = receiveReply(ctx, ctx.bounds.replyMs, WaitFor::AtLeastTwo, reply);
    if (w != WaitResult::Ready) {
        d.result = fromWait(w, port, 2);
        return d;
    }
    const int blocks = std::uint8_t(reply[0]) * wire::kByteBase + std::uint8_t(reply[1]);
    if (blocks > layout::kMaxBlocks) {
        // The buffers end at address 25000: refuse before a block is taken.
        d.result =
            stageResult(Outcome::Refused, 2,
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
            d.result =
                stageResult(Outcome::Refused, 4,
                            QStringLiteral("The meter announced 0 blocks and sent more than %1.")
                                .arg(layout::kMaxBlocks));
            return d;
        }
        w = receiveReply(ctx, ctx.bounds.replyMs, WaitFor::ExactlyEight, reply);
        if (w != WaitResult::Ready) {
            d.result = fromWait(w, port, 4);
            return d;
        }
        for (int i = 0; i < layout::kBlockSize && address < layout::kMaxLength; ++i)
            d.image.set(address++, std::uint8_t(reply[i]));
        d.trailingValue = std::uint8_t(reply[0]);
        if (!port.writeByte(wire::kAck)) {
            d.result = lineFailed(port, 4);
            return d;
        }
        reportProgress(ctx, percentOf(b, blocks));
        if (b == blocks) break;
    }
    d.image.setLength(std::min(address, layout::kMaxLength));
    d.result = stageResult(Outcome::Done, 4);
    return d;
}

Download downloadIndicatorFile(ExchangeContext& ctx, const QString& path, FailedDownload onFailure)
{
    Download d = downloadImage(ctx);
    if (d.result.done()) {
        const FileWriteResult written =
            writeIndicatorFile(path, d.blockCount, d.image, d.trailingValue);
        if (written.ok) return d;
        d.result.outcome = Outcome::Failed;
        d.result.errorNumber = written.errorNumber;
        d.result.detail = fileRefusal(path, written.detail);
    }
    if (onFailure == FailedDownload::RemoveFile) QFile::remove(path);
    return d;
}

} // namespace kaldor
