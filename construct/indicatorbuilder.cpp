#include "construct/indicatorbuilder.h"

#include "store/limits.h"
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
    const QString name = QFileInfo(path).fileName();
    result.source.fileName = name;
    const TankFileFields fields = readTankFile(path, offsetMode);
    if (!fields.fileRead) {
        result.error = QStringLiteral("Tank file %1 cannot be read: %2.").arg(path, fields.reason);
        return result;
    }
    const auto fail = [&](const QString& why) {
        result.error = QStringLiteral("Tank file %1 cannot be used: %2.").arg(name, why);
        return result;
    };
    // The tank number and the offset are numbers to the build.
    int e = 0;
    const auto number = fields.tankNumberText ? numberFromField(fields.tankNumberText->toLatin1(), &e) : std::nullopt;
    if (!number)
        return fail(fieldErrorText(fields.tankNumberText ? e : fields.errorNumber));
    const double tankNumber = roundHalfEven(*number);
    if (tankNumber < limits::kMinTankNumber || tankNumber > limits::kMaxTankNumber)
        return fail(QStringLiteral("its tank number %1 is not between %2 and %3")
                        .arg(plainNumber(*number))
                        .arg(limits::kMinTankNumber)
                        .arg(limits::kMaxTankNumber));
    result.source.tankNumber = int(tankNumber);

    if (!fields.fullScale)
        return fail(fields.reason);
    if (*fields.fullScale <= 0)
        return fail(QStringLiteral("its full scale is %1; it must be above 0").arg(*fields.fullScale));
    result.source.fullScale = *fields.fullScale;

    if (offsetMode) {
        const auto offset = fields.offsetText ? int16FromField(fields.offsetText->toLatin1(), &e) : std::nullopt;
        if (!offset)
            return fail(fieldErrorText(fields.offsetText ? e : fields.errorNumber));
        if (*offset < -layout::kMaxWordMagnitude)
            return fail(QStringLiteral("its offset %1 lies outside -32767 to 32767").arg(*offset));
        result.source.offset = *offset;
    }

    if (!fields.ok())
        return fail(fields.reason);
    if (*fields.pointCount < 1)
        return fail(QStringLiteral("its point count %1 is not between 1 and %2")
                        .arg(*fields.pointCount)
                        .arg(layout::kMaxPoints));
    result.source.points = fields.points;
    result.ok = true;
    return result;
}

BuildResult buildFromSources(const QList<TankSource>& tanks, bool offsetMode, BuildState& state)
{
    const auto refuse = [](const QString& text) { return BuildResult{false, {refusal(text)}}; };
    if (tanks.isEmpty())
        return refuse(QStringLiteral("No files are selected"));
    if (tanks.size() > layout::kMaxDirectoryEntries)
        return refuse(QStringLiteral("Too many tanks: %1 are listed, an indicator holds at most %2.")
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

        QVector<PointWords> words;
        words.reserve(tank.points.size());
        for (int k = 0; k < tank.points.size(); ++k) {
            const auto& point = tank.points[k];
            const int percentWord = percentToWord(val(point.percentText));
            const auto valueWord =
                valueToWord(val(point.valueText), tank.fullScale, tank.offset, offsetMode);
            const auto fits = [](int w) { return w >= 0 && w <= layout::kMaxWordMagnitude; };
            if (!valueWord || !fits(percentWord) || !fits(*valueWord))
                return refuse(QStringLiteral("Tank file %1 cannot be used: point %2 (value %3, "
                                             "%4 %) lies outside the tank's full scale.")
                                  .arg(tank.fileName)
                                  .arg(k + 1)
                                  .arg(quotedText(point.valueText.trimmed()),
                                       quotedText(point.percentText.trimmed())));
            words.append({percentWord, *valueWord});
        }
        const auto record = encodeTankRecord(tank.fullScale, tank.offset, words, offsetMode);
        if (!record || tank.fullScale <= 0)
            return refuse(QStringLiteral("Tank file %1 cannot be used: its full scale or offset "
                                         "cannot be held in a record.")
                              .arg(tank.fileName));
        for (int b = 0; b < record->size(); ++b)
            image.set(start + b, static_cast<std::uint8_t>(record->at(b)));
    }

    const int total = (placed.end + layout::kBlockSize - 1) / layout::kBlockSize * layout::kBlockSize;
    image.setLength(total);
    state.image = image;
    state.totalLength = total;
    state.built = true;
    return {true, {info(QStringLiteral("Indicator file built."))}};
}

std::optional<QString> outputAmongSources(const QString& output, const QStringList& fileNames, const QDir& directory)
{
    // A file that does not exist yet is none of the sources, which must exist to be read.
    const QString target = QFileInfo(directory.filePath(output)).canonicalFilePath();
    if (target.isEmpty())
        return std::nullopt;
    for (const QString& name : fileNames) {
        if (QFileInfo(directory.filePath(name)).canonicalFilePath() == target)
            return QStringLiteral("%1 is one of the tank files the image is built from; it was not written.")
                .arg(output);
    }
    return std::nullopt;
}

BuildResult buildIndicatorImage(const QStringList& fileNames, const QDir& directory, bool offsetMode,
                                BuildState& state)
{
    if (fileNames.isEmpty())
        return {false, {refusal(QStringLiteral("No files are selected"))}};
    if (fileNames.size() > layout::kMaxDirectoryEntries)
        return buildFromSources(QList<TankSource>(fileNames.size()), offsetMode, state);
    QList<TankSource> tanks;
    tanks.reserve(fileNames.size());
    for (const QString& name : fileNames) {
        TankSourceResult read = readTankSource(directory.filePath(name), offsetMode);
        if (!read.ok)
            return {false, {refusal(read.error)}};
        tanks.append(std::move(read.source));
    }
    return buildFromSources(tanks, offsetMode, state);
}

} // namespace kaldor
