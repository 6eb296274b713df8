#include "store/celltexts.h"

#include "store/textrules.h"

namespace kaldor {

namespace {
constexpr int kPercentCellWidth = 6;
constexpr double kFullPercent = 100.0;
const QString kLastPointText = QStringLiteral("99.99");
} // namespace

QString valueCellText(double value)
{
    // The grid keeps the value in single precision before the pattern rounds it.
    const float single = static_cast<float>(value);
    return formatWholeNumber(static_cast<double>(single));
}

QString percentCellText(double percent)
{
    const QString text = strNumber(percent).left(kPercentCellWidth);
    return val(text) == kFullPercent ? kLastPointText : text;
}

QVector<CellRow> curveCellRows(const TankRecord& record, bool offsetMode)
{
    const TankCurve curve = curveFromRecord(record, offsetMode);
    QVector<CellRow> rows;
    rows.reserve(curve.points.size());
    for (const CurvePoint& point : curve.points) {
        CellRow row;
        if (point.value) row.value = valueCellText(*point.value);
        row.percent = percentCellText(point.percent);
        rows.append(row);
    }
    return rows;
}

QString tankListText(int tankNumber)
{
    return QStringLiteral("Tank ") + strNumber(tankNumber);
}

} // namespace kaldor
