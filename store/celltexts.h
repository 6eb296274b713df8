#pragma once
// The texts a curve's grid cells show for a decoded record (the tank editor's double-click
// on the tank list and the data viewer's display) and the tank list's item text.

#include "store/tankrecords.h"

#include <QString>
#include <QVector>

namespace kaldor {

struct CellRow {
    QString value;   // column 1, empty when the record has no value word for the point
    QString percent; // column 2
    friend bool operator==(const CellRow&, const CellRow&) = default;
};

// The value kept in single precision and written "###0".
QString valueCellText(double value);
// The first six characters of the Str text; "99.99" when that text reads as exactly 100.
QString percentCellText(double percent);
// One row per point of curveFromRecord(record, offsetMode), point 1 first.
QVector<CellRow> curveCellRows(const TankRecord& record, bool offsetMode);
// "Tank " and the Str text of the number: "Tank  12".
QString tankListText(int tankNumber);

} // namespace kaldor
