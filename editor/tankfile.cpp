#include "editor/tankfile.h"

#include "store/atomicfile.h"
#include "store/limits.h"
#include "store/celltexts.h"
#include "store/textrules.h"

#include <QFile>

namespace kaldor {

namespace {

using limits::kMinTankNumber;
using limits::kMaxTankNumber;
constexpr int kMaxFileWord = 32767; // the file holds the full scale and offset as 16-bit numbers

void emptyRows(CurveTable& table)
{
    table.clear();
    table.setCurrentCell(1, CurveTable::kValueColumn);
}

} // namespace

bool hasTankExtension(const QString& path)
{
    return path.contains(QLatin1String(".tnk")) || path.contains(QLatin1String(".TNK"));
}

bool isTankNumberText(const QString& text)
{
    const double n = val(text);
    return n >= kMinTankNumber && n <= kMaxTankNumber;
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

TankFileSave saveTankFile(const QString& path, const QString& tankNumberText, const EncodedCurve& encoded,
                          int pointCount, const CurveTable& table, bool offsetMode)
{
    const auto refuse = [](const QString& text) { return TankFileSave{false, {refusal(text)}}; };
    if (!encoded.ok)
        return refuse(QStringLiteral("The curve could not be encoded, so no tank file was written."));
    if (!isTankNumberText(tankNumberText))
        return refuse(kTankNumberRefusal);
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
    const FileWriteResult written = writeFileAtomically(
        path, formatTankFile(tankNumberText, encoded.fullScale, encoded.offset, pointCount, table, offsetMode));
    if (!written.ok)
        return refuse(errorText(written.errorNumber));
    return {true, {info(QStringLiteral("File ") + path + QStringLiteral(" saved."))}};
}

TankFileOpen openTankFile(const QString& path, bool offsetMode, CurveTable& table)
{
    TankFileOpen result;
    emptyRows(table);
    QFile file(path);
    if (!file.exists()) {
        result.messages.append(refusal(QStringLiteral("File not found.")));
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) // a file that cannot be opened ends the action quietly
        return result;
    FieldReader in(file.readAll());
    const auto fail = [&](int number) {
        emptyRows(table);
        result.messages.append(refusal(errorText(number)));
        return result;
    };

    const auto tankNumber = in.readString();
    if (!tankNumber)
        return fail(err::kInputPastEnd);
    result.tankNumberText = *tankNumber;
    int e = 0;
    if (!in.readInt16(&e)) // the full scale is worked out again from the grid
        return fail(e);
    if (offsetMode && !in.readString()) // so is the offset
        return fail(err::kInputPastEnd);
    const auto count = in.readNumber(&e);
    if (!count)
        return fail(e);
    const double n = roundHalfEven(*count);
    if (n > CurveTable::kRows)
        return fail(err::kSubscript);
    const int points = n > 0 ? static_cast<int>(n) : 0;
    result.pointCount = points;
    for (int r = 1; r <= points; ++r) {
        const auto value = in.readString();
        const auto percent = in.readString();
        if (!value || !percent)
            return fail(err::kInputPastEnd);
        table.setValue(r, *value);
        table.setPercent(r, *percent);
    }
    table.setCurrentCell(1, CurveTable::kValueColumn);
    result.ok = true;
    return result;
}

int fillCurveTable(CurveTable& table, const TankRecord& record, bool offsetMode)
{
    emptyRows(table);
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
