#pragma once
// What the graph window draws: one point per checked curve row, X the percentage of full
// scale and Y the VALUE, and the scale of each axis, fitted to the points on its own.

#include "editor/curvetable.h"

#include <QList>
#include <QPointF>

namespace kaldor {

// Rows 1 .. pointCount in grid order (the check has already ordered them), each cell read by
// the Val rule, so "50.000" and " 50.00" both give 50 and an empty cell 0. pointCount is held
// to 0 .. CurveTable::kRows.
QList<QPointF> graphPoints(const CurveTable& table, int pointCount);

// One axis: the range it shows and the spacing of its ticks, which sit on whole multiples of
// tickInterval.
struct AxisScale {
    double min = 0;
    double max = 1;
    double tickInterval = 1;
    int decimals = 0; // digits after the point in the tick labels
};

// An axis over lo .. hi with a small margin on both sides, so that the markers at the ends
// are drawn whole, and about five ticks at 1, 2 or 5 times a power of ten. A single value
// (a flat curve, a single point) gets an axis one unit either side of it.
AxisScale axisScale(double lo, double hi);

// The scales of the horizontal (percentage) and vertical (VALUE) axes for these points.
AxisScale percentAxisScale(const QList<QPointF>& points);
AxisScale valueAxisScale(const QList<QPointF>& points);

} // namespace kaldor
