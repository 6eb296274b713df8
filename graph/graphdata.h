#pragma once
// What the graph window draws: one point per checked curve row, X the percentage of full
// scale and Y the VALUE, and the scale of each axis, fitted to the points on its own.

#include "curves/curvefit.h"
#include "store/curvetable.h"

#include <QList>
#include <QPointF>

namespace kaldor {

// Rows 1 .. pointCount in grid order (the check has already ordered them), each cell read by
// the Val rule, so "50.000" and " 50.00" both give 50 and an empty cell 0. pointCount is held
// to 0 .. CurveTable::kRows.
QList<QPointF> graphPoints(const CurveTable& table, int pointCount);

// The true curve of a shape or a table (a value at each 0.01 % step) as a line over the
// percentage: every stride-th step and the last one.
QList<QPointF> truthLine(const QVector<double>& truth, int stride = 1);

// The meter's straight lines through the points less the true value, at every stride-th step
// and the last one: the error along the level in the points' units. Points must rise in
// percentage, as the check leaves them; none or a wrong-sized truth gives nothing.
QList<QPointF> errorLine(const QList<QPointF>& points, const QVector<double>& truth,
                         int stride = 1);

// What the graph window says it draws: the tank as its window names it ("Tank  12"), then
// where the curve came from ("file water.tnk", a shape), unless that already names the tank.
// A curve of no tank is "No tank number".
QString graphCaption(const QString& tank, const QString& source);

// Whether the graph's points are the fit's points (percentage to 0.01, whole value).
bool samePoints(const QList<QPointF>& points, const LevelPoints& fitPoints);

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
