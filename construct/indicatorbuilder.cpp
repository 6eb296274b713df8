#include "construct/indicatorbuilder.h"

#include "store/limits.h"
#include "store/outputfile.h"
#include "store/tankrecords.h"
#include "store/textrules.h"
#include "store/wordcodec.h"

#include <QFileInfo>

namespace kaldor {

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

    // Every record first; a layout that cannot hold them is refused before a tank that
    // cannot be encoded.
    QVector<RecordBytes> records;
    records.reserve(tanks.size());
    QString encodeRefusal;
    for (const TankSource& tank : tanks) {
        RecordBytes r{tank.tankNumber,
                      QByteArray(recordLength(int(tank.points.size()), offsetMode), '\0')};
        if (encodeRefusal.isEmpty()) {
            const TankFileWords words =
                tankFileWords(tank.fileName, tank.points, tank.fullScale, tank.offset, offsetMode);
            const auto record =
                words.refusal.isEmpty()
                    ? encodeTankRecord(tank.fullScale, tank.offset, words.words, offsetMode)
                    : std::nullopt;
            if (!words.refusal.isEmpty())
                encodeRefusal = words.refusal;
            else if (!record || tank.fullScale <= 0)
                encodeRefusal = unusableTankFile(
                    tank.fileName,
                    QStringLiteral("its full scale or offset cannot be held in a record"));
            else
                r.bytes = *record;
        }
        records.append(std::move(r));
    }
    // Build in a copy; the window's image changes only when every tank went in.
    IndicatorImage image = state.image;
    const RecordLayout placed = layOutRecords(records, image);
    if (placed.status == RecordLayout::Status::DoesNotFit)
        return refuse(QStringLiteral("The tanks do not fit: the image would end at address %1, "
                                     "past the last address %2.")
                          .arg(placed.end)
                          .arg(layout::kMaxLength));
    if (!encodeRefusal.isEmpty()) return refuse(encodeRefusal);
    const int total = image.length();
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
