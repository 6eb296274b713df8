#pragma once
// Curves as CSV, for spreadsheets and for kaldorctl import: a header line, then one line per
// point with the percentage and the value as plain numbers ("12.34,567"). Every tank of an
// image goes into one file with the tank number as a first column.

#include "store/celltexts.h"
#include "store/curvetable.h"

#include <QByteArray>
#include <QVector>

namespace kaldor {

inline const QByteArray kCurveCsvHeader = "percent,value";
inline const QByteArray kTanksCsvHeader = "tank,percent,value";

// The rows as the grid shows them, read with Val; a row without a value or a percentage (a
// record that ends after a percent word) is not a point and is left out.
QByteArray curveCsv(const QVector<CellRow>& rows);
// Rows 1 .. pointCount of a checked curve: what the editor's Export CSV and kaldorctl export of
// a tank file write.
QByteArray curveCsv(const CurveTable& table, int pointCount);

struct TankCsvCurve {
    int tankNumber = 0;
    QVector<CellRow> rows;
};
QByteArray tanksCsv(const QVector<TankCsvCurve>& tanks);

} // namespace kaldor
