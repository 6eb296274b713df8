#pragma once
// Where a curve made from the tank itself came from, and how good it is, in words: the line a
// window shows under its preview and the source a graph or a calibration sheet names.

#include "curves/curvefit.h"

#include <QString>

namespace kaldor {

// "horizontal cylinder, diameter 2000 mm, straight length 6000 mm, ellipsoidal heads 500 mm
// deep": the shape with every dimension it was drawn from, an unset end depth or radius left
// out (the shape's default stands).
QString tankShapeText(const TankShape& shape);

// "Levels in mm, as the header 'Level mm;Volume l' names them.": the unit a table's header
// chose, when it names one.
QString headerUnitText(const StrappingTable& table);

// "26 points; largest error 0.981 units (0.047 % of full value) at level 0.27 %", with the fit's
// note after it when it has one, or the fit's refusal when it made no curve.
QString curveFitSummary(const CurveFit& fit);

} // namespace kaldor
