#include "curves/curvecsv.h"

#include "store/textrules.h"

namespace kaldor {

namespace {

constexpr int kDigits = 15;

QByteArray csvNumber(const QString& cellText)
{
    return QByteArray::number(val(cellText), 'g', kDigits);
}

void appendPoints(QByteArray& out, const QByteArray& prefix, const QVector<CellRow>& rows)
{
    for (const CellRow& row : rows) {
        if (row.value.trimmed().isEmpty() || row.percent.trimmed().isEmpty()) continue;
        out += prefix + csvNumber(row.percent) + ',' + csvNumber(row.value) + '\n';
    }
}

} // namespace

QByteArray curveCsv(const QVector<CellRow>& rows)
{
    QByteArray out = kCurveCsvHeader + '\n';
    appendPoints(out, {}, rows);
    return out;
}

QByteArray curveCsv(const CurveTable& table, int pointCount)
{
    QVector<CellRow> rows;
    for (int r = 1; r <= pointCount; ++r)
        rows.append(CellRow{table.value(r), table.percent(r)});
    return curveCsv(rows);
}

QByteArray tanksCsv(const QVector<TankCsvCurve>& tanks)
{
    QByteArray out = kTanksCsvHeader + '\n';
    for (const TankCsvCurve& tank : tanks)
        appendPoints(out, QByteArray::number(tank.tankNumber) + ',', tank.rows);
    return out;
}

} // namespace kaldor
