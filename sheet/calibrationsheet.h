#pragma once
// What a tank's calibration sheet shows, gathered from a checked curve or from a record of an
// image: the tank, the mode, full scale and offset, where the curve came from, the date, the
// points, and the largest interpolation error when the caller knows it. The page itself is
// drawn by the sheet library (sheet/), which needs QtGui.

#include "store/celltexts.h"
#include "store/curvetable.h"
#include "store/messages.h"
#include "store/tankrecords.h"

#include <QDate>
#include <optional>

namespace kaldor {

// The largest difference between the meter's straight lines through the points and the true
// curve, in display units, and the level where it occurs.
struct SheetError {
    double units = 0.0;
    std::optional<double> atPercent;
};

struct CalibrationSheet {
    std::optional<int> tankNumber; // none while the editor has not been given one
    bool offsetMode = true;
    int fullScale = 0;
    int offset = 0;
    QVector<CellRow> points; // as the grid shows them, point 1 first
    QString source;          // "file plant.idr", a shape with its dimensions, a table
    QDate date;
    std::optional<SheetError> largestError;
};

struct SheetBuild {
    std::optional<CalibrationSheet> sheet;
    Messages messages; // why there is no sheet: the encoding's refusal
};

// Rows 1 .. pointCount of a curve that passed validateCurve, with the full scale and offset
// its encoding gives. The date is today's.
SheetBuild sheetFromTable(const CurveTable& table, int pointCount, std::optional<int> tankNumber,
                          bool offsetMode, const QString& source);

// A record of an image, its points as the viewer's grid shows them.
CalibrationSheet sheetFromRecord(const TankRecord& record, bool offsetMode, const QString& source);

} // namespace kaldor
