#include "construct/indicatorbuilder.h"

#include "store/limits.h"
#include "store/outputfile.h"
#include "store/tankrecords.h"
#include "store/textrules.h"
#include "store/wordcodec.h"

#include <QFileInfo>

namespace kaldor {

namespace {

// Where each record goes: from 512 on, one after the other, except that a record that would
// run past 8192 or 16384 starts at that boundary instead.
struct Layout {
    QList<int> starts;
    int end = layout::kRecordAreaStart;
    int pageMark = 1;
};

Layout placeRecords(const QList<TankSource>& tanks, bool offsetMode)
{
    Layout out;
    int p = layout::kRecordAreaStart;
    for (const TankSource& tank : tanks) {
        const int length = recordLength(int(tank.points.size()), offsetMode);
        if (p < layout::kPageSize && p + length > layout::kPageSize) {
            p = layout::kPageSize;
            out.pageMark = 2;
        }
        if (p < 2 * layout::kPageSize && p + length > 2 * layout::kPageSize) {
            p = 2 * layout::kPageSize;
            out.pageMark = 3;
        }
        out.starts.append(p);
        p += length;
    }
    out.end = p;
    return out;
}

void putWord(IndicatorImage& image, int address, int word)
{
    image.set(address, word / 256);
    image.set(address + 1, word % 256);
}

} // namespace

TankSourceResult readTankSource(const QString& path, bool offsetMode)
{
    TankSourceResult result;
    result.source.fileName = QFileInfo(path).fileName();
    const TankFileCheck file = checkTankFile(path, offsetMode);
    if (!file.ok) {
        result.error = file.refusal;
        return result;
    }
    result.source.tankNumber = file.tankNumber;
    result.source.fullScale = file.fullScale;
    result.source.offset = file.offset;
    // The checked curve: compacted and in percentage order, as the single-tank send has it.
    result.source.points = file.points();
    result.ok = true;
    return result;
}

BuildResult buildFromSources(const QList<TankSource>& tanks, bool offsetMode, BuildState& state)
{
    const auto refuse = [](const QString& text) { return BuildResult{false, {refusal(text)}}; };
    if (tanks.isEmpty()) return refuse(QStringLiteral("No files are selected"));
    if (tanks.size() > layout::kMaxDirectoryEntries)
        return refuse(
            QStringLiteral("Too many tanks: %1 are listed, an indicator holds at most %2.")
                .arg(tanks.size())
                .arg(layout::kMaxDirectoryEntries));

    const Layout placed = placeRecords(tanks, offsetMode);
    if (placed.end > layout::kMaxLength)
        return refuse(QStringLiteral("The tanks do not fit: the image would end at address %1, "
                                     "past the last address %2.")
                          .arg(placed.end)
                          .arg(layout::kMaxLength));

    // Build in a copy; the window's image changes only when every tank went in.
    IndicatorImage image = state.image;
    for (int i = 0; i < layout::kHeaderConstantLength; ++i)
        image.set(i, layout::kHeaderConstant[i]);
    image.set(layout::kPageMarkAddress, placed.pageMark);
    putWord(image, layout::kEndPointerAddress, placed.end);
    image.set(layout::kTankCountAddress, int(tanks.size()));
    for (int i = 0; i < int(layout::kSummaryConstant.size()); ++i)
        image.set(layout::kSummaryConstantAddress + i, layout::kSummaryConstant[i]);

    for (int i = 0; i < tanks.size(); ++i) {
        const TankSource& tank = tanks[i];
        const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * i;
        const int start = placed.starts[i];
        image.set(entry, tank.tankNumber);
        putWord(image, entry + 1, start);

        const TankFileWords words =
            tankFileWords(tank.fileName, tank.points, tank.fullScale, tank.offset, offsetMode);
        if (!words.refusal.isEmpty()) return refuse(words.refusal);
        const auto record = encodeTankRecord(tank.fullScale, tank.offset, words.words, offsetMode);
        if (!record || tank.fullScale <= 0)
            return refuse(
                unusableTankFile(tank.fileName, QStringLiteral("its full scale or offset cannot be "
                                                               "held in a record")));
        for (int b = 0; b < record->size(); ++b)
            image.set(start + b, static_cast<std::uint8_t>(record->at(b)));
    }

    const int total =
        (placed.end + layout::kBlockSize - 1) / layout::kBlockSize * layout::kBlockSize;
    image.setLength(total);
    state.image = image;
    state.totalLength = total;
    state.built = true;
    return {true, {info(QStringLiteral("Indicator file built."))}};
}

std::optional<QString> outputAmongSources(const QString& output, const QStringList& fileNames,
                                          const QDir& directory)
{
    // A file that does not exist yet is none of the sources, which must exist to be read; a
    // hard link is the same file under another name.
    for (const QString& name : fileNames) {
        if (sameFile(directory.filePath(output), directory.filePath(name)))
            return QStringLiteral(
                       "%1 is one of the tank files the image is built from; it was not written.")
                .arg(output);
    }
    return std::nullopt;
}

BuildResult buildIndicatorImage(const QStringList& fileNames, const QDir& directory,
                                bool offsetMode, BuildState& state)
{
    if (fileNames.isEmpty()) return {false, {refusal(QStringLiteral("No files are selected"))}};
    if (fileNames.size() > layout::kMaxDirectoryEntries)
        return buildFromSources(QList<TankSource>(fileNames.size()), offsetMode, state);
    QList<TankSource> tanks;
    tanks.reserve(fileNames.size());
    for (const QString& name : fileNames) {
        TankSourceResult read = readTankSource(directory.filePath(name), offsetMode);
        if (!read.ok) return {false, {refusal(read.error)}};
        tanks.append(std::move(read.source));
    }
    return buildFromSources(tanks, offsetMode, state);
}

} // namespace kaldor
