#pragma once
// A tank's curve from its shape or its strapping table. The true value is known at every
// 0.01 % step of the level (0.00 to 99.99 %, kLevelSteps of them); the meter draws straight
// lines between the points it is given. The points chosen here lie on those steps, start at 0 and
// end at 99.99 %, carry the true value rounded to a whole number (so values never fall), and are
// placed so that the largest difference between the meter's line and the true value, over every
// step, is as small as the points allow.
//
// A window or the headless tool calls curveFromShape or curveFromTable with what the user chose
// and gets back either a refusal in words or the points, the error and the true curve, then
// fills its grid with fillPointRows or writes a tank file with saveCurveTankFile.

#include "curves/truecurve.h"
#include "store/curvetable.h"
#include "store/tankfile.h"

#include <QVector>
#include <functional>
#include <optional>

namespace kaldor {

inline constexpr int kDefaultCurvePoints = 100;

// Exactly count points (2 .. 100), or the fewest points whose error is within tolerance.
struct PointRequest {
    std::optional<int> count;        // set: exactly this many
    std::optional<double> tolerance; // set (and count unset): the largest error allowed
    static PointRequest points(int n) { return {n, std::nullopt}; }
    static PointRequest maxError(double e) { return {std::nullopt, e}; }
};

struct CurveFit {
    QString refusal; // why no curve was made, in words; empty when it was
    bool ok() const { return refusal.isEmpty(); }
    QVector<double> truth; // the true value at each level step in display units, unrounded;
                           // set whenever the shape or table could be computed (for a preview)
    LevelPoints points;
    double largestError = 0;        // display units
    double largestErrorPercent = 0; // of the full value
    int largestErrorStep = 0;       // where it occurs: step / 100 is the level in %
    double fullValue = 0;           // the true value at 99.99 %
    QString note; // what the summary adds: the table's rows that lie outside the level range
};

// Asked now and then while the points are chosen; when it answers true the selection stops and
// the fit comes back refused with kStoppedRefusal. A window that wants a newer curve stops the
// one it no longer needs.
using StopCheck = std::function<bool()>;
inline const QString kStoppedRefusal = QStringLiteral("The curve was not finished.");

// Everything a window or the tool needs in one call. offsetCapable decides whether a negative
// value fits the grid (a minus and three digits); every value must fit the grid's four
// characters, else the refusal names the largest value and a scale that fits.
CurveFit curveFromShape(const TankShape& shape, const LevelRange& range, VolumeUnit volumeUnit,
                        double scale, const PointRequest& request, bool offsetCapable = true,
                        const StopCheck& stop = {});
// A table with no more rows than the points asked (and its rows on distinct steps) keeps every row.
CurveFit curveFromTable(const StrappingTable& table, bool levelsInPercent, const LevelRange& range,
                        double scale, const PointRequest& request, bool offsetCapable = true,
                        const StopCheck& stop = {});

// The selection on a true curve: points as above, largest error and where it lies. Exactly count
// points: the least error that knots reaching as far as they can attain with at most count points
// (bisection on the error), then knots added, each where it does not raise the largest error, to
// make count. Within a tolerance: the fewest knots (a shortest path over the pairs of knots whose
// line keeps the tolerance). keepSteps, when given, are the points to keep as they are. scale is
// only used to name a scale that fits when a value does not. stop, when given, is asked now and
// then.
CurveFit fitCurve(const QVector<double>& truth, const PointRequest& request, double scale = 1,
                  bool offsetCapable = true, const QVector<int>& keepSteps = {},
                  const StopCheck& stop = {});

// n points (2 .. 100) at evenly spaced steps, for comparison.
LevelPoints evenlySpacedPoints(const QVector<double>& truth, int n);
// The grid's texts for the points: rows 1 .. n, the rest emptied.
void fillPointRows(CurveTable& table, const LevelPoints& points);
// Writes the points as the editor's tank file in the given layout, through the editor's writer.
TankFileSave saveCurveTankFile(const QString& path, const QString& tankNumberText,
                               const LevelPoints& points, bool offsetMode);

} // namespace kaldor
