#include "editor/tankfile.h"

#include "store/atomicfile.h"
#include "store/celltexts.h"
#include "store/inputfile.h"
#include "store/limits.h"
#include "store/textrules.h"

namespace kaldor {

namespace {

constexpr int kMaxFileWord = 32767; // the file holds the full scale and offset as 16-bit numbers

} // namespace

bool isTankNumberText(const QString& text)
{
    const double n = val(text);
    return n >= limits::kMinTankNumber && n <= limits::kMaxTankNumber;
}

QByteArray formatTankFile(const QString& tankNumberText, int fullScale, int offset, int pointCount,
                          const CurveTable& table, bool offsetMode)
{
    QByteArray out = tankNumberText.toLatin1() + "\r\n";
    out += printNumber(static_cast<long long>(fullScale)) + "\r\n";
    if (offsetMode)
        out += printNumber(static_cast<long long>(offset)) + "\r\n";
    out += printNumber(static_cast<long long>(pointCount)) + "\r\n";
    for (int r = 1; r <= pointCount; ++r)
        out += table.value(r).toLatin1() + ", " + table.percent(r).toLatin1() + ",";
    return out;
}

Messages tankFileCurveRefusals(const EncodedCurve& encoded, int pointCount)
{
    const auto refuse = [](const QString& text) { return Messages{refusal(text)}; };
    if (!encoded.ok)
        return refuse(QStringLiteral("The curve could not be encoded, so no tank file was written."));
    if (encoded.fullScale > kMaxFileWord)
        return refuse(QStringLiteral("The full scale %1 is too large for a tank file (at most %2); "
                                     "the file was not written.")
                          .arg(encoded.fullScale)
                          .arg(kMaxFileWord));
    if (encoded.offset > kMaxFileWord || encoded.offset < -kMaxFileWord)
        return refuse(QStringLiteral("The offset %1 cannot be held in a tank file (-%2 to %2); "
                                     "the file was not written.")
                          .arg(encoded.offset)
                          .arg(kMaxFileWord));
    if (pointCount < 1 || pointCount > CurveTable::kRows)
        return refuse(QStringLiteral("No data in grid."));
    return {};
}

TankFileSave saveTankFile(const QString& path, const QString& tankNumberText, const EncodedCurve& encoded,
                          int pointCount, const CurveTable& table, bool offsetMode)
{
    const auto refuse = [](const QString& text) { return TankFileSave{false, {refusal(text)}}; };
    const Messages refused = tankFileCurveRefusals(encoded, pointCount);
    if (!refused.isEmpty())
        return TankFileSave{false, refused};
    if (!isTankNumberText(tankNumberText))
        return refuse(kTankNumberRefusal);
    const FileWriteResult written = writeFileAtomically(
        path, formatTankFile(tankNumberText, encoded.fullScale, encoded.offset, pointCount, table, offsetMode));
    if (!written.ok)
        return refuse(errorText(written.errorNumber));
    return {true, {info(QStringLiteral("File ") + path + QStringLiteral(" saved."))}};
}

TankFileFields readTankFile(const QString& path, bool offsetMode)
{
    TankFileFields fields;
    const auto fail = [&](int number, const QString& reason) {
        fields.errorNumber = number;
        fields.reason = reason;
        return fields;
    };
    InputFile file = readInputFile(path);
    if (!file.ok())
        return fail(file.errorNumber, file.reason);
    fields.fileRead = true;
    FieldReader in(std::move(file.data));
    const auto failField = [&](int number) { return fail(number, fieldErrorText(number)); };

    fields.tankNumberText = in.readString();
    if (!fields.tankNumberText)
        return failField(err::kInputPastEnd);
    int e = 0;
    fields.fullScale = in.readInt16(&e);
    if (!fields.fullScale)
        return failField(e);
    if (offsetMode) {
        fields.offsetText = in.readString();
        if (!fields.offsetText)
            return failField(err::kInputPastEnd);
    }
    const auto count = in.readNumber(&e);
    if (!count)
        return failField(e);
    const double n = roundHalfEven(*count);
    if (n > CurveTable::kRows)
        return fail(err::kSubscript, QStringLiteral("its point count %1 is more than %2")
                                         .arg(plainNumber(*count))
                                         .arg(CurveTable::kRows));
    fields.pointCount = n > 0 ? static_cast<int>(n) : 0;
    for (int r = 1; r <= *fields.pointCount; ++r) {
        const auto value = in.readString();
        const auto percent = in.readString();
        if (!value || !percent)
            return failField(err::kInputPastEnd);
        fields.points.append({*value, *percent});
    }
    return fields;
}

TankFileOpen openTankFile(const QString& path, bool offsetMode, CurveTable& table)
{
    table.clear();
    const TankFileFields fields = readTankFile(path, offsetMode);
    TankFileOpen result;
    result.tankNumberText = fields.tankNumberText;
    result.pointCount = fields.pointCount;
    if (!fields.ok()) {
        result.messages.append(refusal(fields.errorNumber == err::kFileNotFound ? QStringLiteral("File not found.")
                                                                                : errorText(fields.errorNumber)));
        result.detail = fileRefusal(path, fields.reason);
        return result;
    }
    for (int r = 1; r <= fields.points.size(); ++r) {
        table.setValue(r, fields.points.at(r - 1).valueText);
        table.setPercent(r, fields.points.at(r - 1).percentText);
    }
    result.ok = true;
    return result;
}

int fillCurveTable(CurveTable& table, const TankRecord& record, bool offsetMode)
{
    table.clear();
    const QVector<CellRow> rows = curveCellRows(record, offsetMode);
    int r = 0;
    for (const CellRow& row : rows) {
        if (++r > CurveTable::kRows)
            break;
        table.setValue(r, row.value);
        table.setPercent(r, row.percent);
    }
    return std::min(r, int(CurveTable::kRows));
}

} // namespace kaldor
