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
    if (points.isEmpty()) return axisScale(0, 0);
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

QList<QPointF> truthLine(const QVector<double>& truth, int stride)
{
    QList<QPointF> line;
    if (truth.size() != kLevelSteps) return line;
    stride = std::max(stride, 1);
    line.reserve(kLevelSteps / stride + 2);
    for (int step = 0; step < kLevelSteps; step += stride)
        line.append({step / 100.0, truth[step]});
    if (kLastLevelStep % stride != 0) line.append({kLastLevelStep / 100.0, truth[kLastLevelStep]});
    return line;
}

QList<QPointF> errorLine(const QList<QPointF>& points, const QVector<double>& truth, int stride)
{
    QList<QPointF> line;
    if (points.isEmpty() || truth.size() != kLevelSteps) return line;
    stride = std::max(stride, 1);
    qsizetype next = 0; // the first point at or above the step's percentage
    const auto errorAt = [&](int step) {
        const double x = step / 100.0;
        while (next < points.size() && points[next].x() < x - 1e-9)
            ++next;
        double meter;
        if (next == 0)
            meter = points.first().y();
        else if (next == points.size())
            meter = points.last().y();
        else {
            const QPointF& a = points[next - 1];
            const QPointF& b = points[next];
            meter = b.x() - a.x() < 1e-9 ? b.y()
                                         : a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
        }
        line.append({x, meter - truth[step]});
    };
    for (int step = 0; step < kLevelSteps; step += stride)
        errorAt(step);
    if (kLastLevelStep % stride != 0) errorAt(kLastLevelStep);
    return line;
}

QString graphCaption(const QString& tank, const QString& source)
{
    const bool named = !tank.trimmed().isEmpty();
    const QString caption = named ? tank : QStringLiteral("No tank number");
    if (source.isEmpty() || (named && source.contains(tank))) return caption;
    return caption + QStringLiteral(" — ") + source;
}

bool samePoints(const QList<QPointF>& points, const LevelPoints& fitPoints)
{
    if (points.size() != fitPoints.size()) return false;
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (qRound(points[i].x() * 100) != fitPoints[i].step || points[i].y() != fitPoints[i].value)
            return false;
    }
    return true;
}

AxisScale axisScale(double lo, double hi)
{
    if (hi < lo) std::swap(lo, hi);
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
