#pragma once
// A tank's true curve: its value at every 0.01 % step of the level (0.00 to 99.99 %,
// kLevelSteps of them), worked out from its shape or read between the rows of its strapping
// table, and how far the meter's straight lines through a set of points stray from it.

#include "curves/strapping.h"
#include "curves/tankshape.h"

#include <QString>
#include <QVector>
#include <optional>

namespace kaldor {

inline constexpr int kLevelSteps = 10000;   // 0.00 % .. 99.99 %
inline constexpr int kLastLevelStep = 9999; // 99.99 %

// The level range the percentage covers: p stands for zero + p / 99.99 x span, both in the
// shape's (or the table's) length unit. Unset: zero 0 and the span the tank's full height (for a
// table, its highest level less the zero).
struct LevelRange {
    std::optional<double> zero;
    std::optional<double> span;
};

struct LevelPoint {
    int step = 0;  // level step 0 .. 9999; the percentage is step / 100
    int value = 0; // whole display units
    double percent() const { return step / 100.0; }
    friend bool operator==(const LevelPoint&, const LevelPoint&) = default;
};
using LevelPoints = QVector<LevelPoint>;

// The true values, in display units: the shape's volume in volumeUnit times scale at each step
// of the level range. Refuses (in words) an unsound shape or range.
struct TrueCurve {
    QVector<double> values;
    QString refusal;
    // From a table: its rows in level order, each at the step (a fraction) its level stands for,
    // and the note on the rows outside the level range, which the curve does not use.
    QVector<double> rowSteps;
    QString note;
};
// The level in the shape's unit that a step stands for, from the lowest point of the tank.
double levelAtStep(const TankShape& shape, const LevelRange& range, int step);
TrueCurve trueCurveFromShape(const TankShape& shape, const LevelRange& range, VolumeUnit volumeUnit,
                             double scale);
// levelsInPercent: the table's levels are percentages (the range is then ignored); else they are
// in one length unit, as the range is. Truth between rows is the table's linear interpolation;
// the table must cover the whole range and its volume must not fall as the level rises.
TrueCurve trueCurveFromTable(const StrappingTable& table, bool levelsInPercent,
                             const LevelRange& range, double scale);

// The largest difference between the straight lines through the points and the truth, over
// every step; *where gets its step.
double largestError(const LevelPoints& points, const QVector<double>& truth, int* where = nullptr);
// At each step, the meter's reading (the straight lines through the points) less the truth: the
// error along the level, for a graph.
QVector<double> readingErrors(const LevelPoints& points, const QVector<double>& truth);

} // namespace kaldor
