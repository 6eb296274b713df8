#include "link/upload.h"

#include "store/indicatorfile.h"
#include "store/inputfile.h"

#include <algorithm>

namespace kaldor {

namespace {
// The header and the directory the meter reads first: a shorter image leaves a meter that
// no longer answers a read.
QString tooShortForDirectory(const IndicatorImage& image)
{
    const int length = image.length();
    if (length <= layout::kTankCountAddress)
        return QStringLiteral("the image holds %1 bytes, too few for the meter's header (%2 bytes)")
            .arg(length)
            .arg(layout::kDirectoryStart);
    const int tanks = image.at(layout::kTankCountAddress);
    const int needed = layout::kDirectoryStart + layout::kDirectoryEntrySize * tanks;
    if (length < needed)
        return QStringLiteral("the image holds %1 bytes, too few for the header and the directory "
                              "of its %2 tanks "
                              "(%3 bytes)")
            .arg(length)
            .arg(tanks)
            .arg(needed);
    return {};
}
} // namespace

UploadPreparation uploadSourceFromFile(const QString& path, UploadVariant variant)
{
    UploadPreparation prep;
    const IndicatorFileLoad load = loadIndicatorFile(path);
    QString why;
    if (load.ok())
        why = tooShortForDirectory(load.image);
    else
        why = load.detail.isEmpty() ? load.message : load.detail;
    if (why.isEmpty()) {
        UploadSource source;
        source.image = load.image;
        source.blockCount = load.image.blockCount();
        // The last image byte goes out once more as the final byte.
        source.finalByte = load.image.length() > 0 ? load.image.at(load.image.length() - 1) : 0;
        prep.source = source;
        return prep;
    }
    prep.detail = fileRefusal(path, why) + QStringLiteral(": nothing was sent.");
    if (load.status == LoadStatus::NotFound ||
        (!load.fileOpened && load.status == LoadStatus::Failed)) {
        // The file could not be read at all: the window's own text, the detail for the tool.
        prep.messages.append(refusal(variant == UploadVariant::MainWindow
                                         ? QStringLiteral("Get Indicator data first ")
                                         : errorText(load.errorNumber)));
    } else {
        prep.messages.append(refusal(prep.detail));
    }
    return prep;
}

UploadSource uploadSourceFromImage(const IndicatorImage& image, int totalLength)
{
    UploadSource s;
    s.image = image;
    const int length = std::clamp(totalLength, 0, int(layout::kMaxLength)) / layout::kBlockSize *
                       layout::kBlockSize;
    s.image.setLength(length);
    s.blockCount = length / layout::kBlockSize;
    s.finalByte = length > 0 ? image.at(length - 1) : 0;
    return s;
}

ExchangeResult uploadImage(ExchangeContext& ctx, const UploadSource& source, UploadVariant variant)
{
    SerialPort& port = ctx.port;
    discardInput(port);
    if (!writeCommand(port, "AD")) return lineFailed(port, 1);
    const int length = source.blockCount * layout::kBlockSize;
    // Per block for the main window and the viewer, per byte for the construction window.
    const bool perBlock = variant == UploadVariant::MainWindow || variant == UploadVariant::Viewer;
    if (perBlock || variant == UploadVariant::Construction) reportProgress(ctx, 0);

    ExchangeResult r = waitForAcknowledge(ctx, 1);
    if (!r.done()) return r;
    if (!port.writeByte(std::uint8_t(source.blockCount / wire::kByteBase)) ||
        !port.writeByte(std::uint8_t(source.blockCount % wire::kByteBase)))
        return lineFailed(port, 2);
    r = waitForAcknowledge(ctx, 2);
    if (!r.done()) return r;

    int address = 0;
    for (int block = 1; block <= source.blockCount; ++block) {
        for (int i = 0; i < layout::kBlockSize; ++i, ++address) {
            if (!port.writeByte(source.image.at(address))) return lineFailed(port, 3);
            if (variant == UploadVariant::Construction)
                reportProgress(ctx, percentOf(address + 1, length));
        }
        r = waitForAcknowledge(ctx, 3);
        if (!r.done()) return r;
        if (perBlock) reportProgress(ctx, percentOf(block, source.blockCount));
    }
    if (!port.writeByte(source.finalByte)) return lineFailed(port, 3);
    return stageResult(Outcome::Done, 3);
}

} // namespace kaldor
