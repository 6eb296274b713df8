#include "graph/graphdata.h"

#include "store/textrules.h"

#include <algorithm>
#include <cmath>

namespace kaldor {

namespace {

// Share of the span left free at each end of an axis.
constexpr double kMargin = 0.03;
// Ticks wanted across an axis; the step rounds to 1, 2 or 5 times a power of ten.
constexpr double kTicks = 5;

template <typename Coordinate>
AxisScale scaleOf(const QList<QPointF>& points, Coordinate coordinate)
{
    if (points.isEmpty())
        return axisScale(0, 0);
    double lo = coordinate(points.first());
    double hi = lo;
    for (const QPointF& p : points) {
        lo = std::min(lo, coordinate(p));
        hi = std::max(hi, coordinate(p));
    }
    return axisScale(lo, hi);
}

} // namespace

QList<QPointF> graphPoints(const CurveTable& table, int pointCount)
{
    const int n = std::clamp(pointCount, 0, CurveTable::kRows);
    QList<QPointF> points;
    points.reserve(n);
    for (int row = 1; row <= n; ++row)
        points.append({val(table.percent(row)), val(table.value(row))});
    return points;
}

AxisScale axisScale(double lo, double hi)
{
    if (hi < lo)
        std::swap(lo, hi);
    if (hi == lo) {
        lo -= 1;
        hi += 1;
    }
    const double raw = (hi - lo) / kTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / power;
    const double step = (norm < 1.5 ? 1 : norm < 3.5 ? 2 : norm < 7.5 ? 5 : 10) * power;
    const double margin = (hi - lo) * kMargin;
    AxisScale scale;
    scale.min = lo - margin;
    scale.max = hi + margin;
    scale.tickInterval = step;
    scale.decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
    return scale;
}

AxisScale percentAxisScale(const QList<QPointF>& points)
{
    return scaleOf(points, [](const QPointF& p) { return p.x(); });
}

AxisScale valueAxisScale(const QList<QPointF>& points)
{
    return scaleOf(points, [](const QPointF& p) { return p.y(); });
}

} // namespace kaldor
