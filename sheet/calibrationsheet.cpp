#include "sheet/calibrationsheet.h"

#include "store/curvecheck.h"

namespace kaldor {

SheetBuild sheetFromTable(const CurveTable& table, int pointCount, std::optional<int> tankNumber,
                          bool offsetMode, const QString& source)
{
    SheetBuild build;
    const EncodedCurve encoded = encodeCurve(table, pointCount, offsetMode);
    if (!encoded.ok) {
        build.messages = encoded.messages;
        return build;
    }
    CalibrationSheet sheet;
    sheet.tankNumber = tankNumber;
    sheet.offsetMode = offsetMode;
    sheet.fullScale = encoded.fullScale;
    sheet.offset = encoded.offset;
    for (int r = 1; r <= pointCount; ++r)
        sheet.points.append(CellRow{table.value(r), table.percent(r)});
    sheet.source = source;
    sheet.date = QDate::currentDate();
    build.sheet = sheet;
    return build;
}

CalibrationSheet sheetFromRecord(const TankRecord& record, bool offsetMode, const QString& source)
{
    const TankCurve curve = curveFromRecord(record, offsetMode);
    CalibrationSheet sheet;
    sheet.tankNumber = record.tankNumber;
    sheet.offsetMode = offsetMode;
    sheet.fullScale = curve.fullScale;
    sheet.offset = curve.offset.value_or(0);
    sheet.points = curveCellRows(record, offsetMode);
    sheet.source = source;
    sheet.date = QDate::currentDate();
    return sheet;
}

} // namespace kaldor
