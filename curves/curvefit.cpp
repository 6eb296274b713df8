#include "curves/curvefit.h"

#include "store/celltexts.h"
#include "store/curvecheck.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kaldor {

namespace {

constexpr int kBisections = 64;

// A whole display value, rounded as the grid's "###0" pattern rounds (halves away from zero).
double wholeValue(double v)
{
    return std::round(v);
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

// The largest of 1, 2 and 5 times a power of ten that is at most bound.
double roundScaleDown(double bound)
{
    const double decade = std::pow(10.0, std::floor(std::log10(bound)));
    for (const double m : {5.0, 2.0, 1.0})
        if (m * decade <= bound * (1 + 1e-12)) return m * decade;
    return decade;
}

// A whole value as an integer, held within a range far beyond any cell's.
long long asWhole(double v)
{
    return static_cast<long long>(std::clamp(v, -1e15, 1e15));
}

QString valueRefusal(const QVector<double>& truth, double scale, bool offsetCapable)
{
    if (!std::all_of(truth.begin(), truth.end(), [](double v) { return std::isfinite(v); }))
        return QStringLiteral("The values are too large to work out; give a smaller scale.");
    const auto [lo, hi] = std::minmax_element(truth.begin(), truth.end());
    const double largest = wholeValue(*hi);
    const double smallest = wholeValue(*lo);
    // "The largest value, ..., does not fit ... (at most 9999); a scale of ... fits."
    const auto doesNotFit = [scale](const char* which, double value, double truthValue, int bound,
                                    const char* side) {
        const double fits = scale * (std::abs(bound) + 0.5) / std::abs(truthValue);
        return QStringLiteral("The %1 value, %2, does not fit the grid's %3 characters (%4 %5); "
                              "a scale of %6 fits.")
            .arg(QLatin1String(which), number(value))
            .arg(kMaxValueChars)
            .arg(QLatin1String(side))
            .arg(bound)
            .arg(number(roundScaleDown(fits)));
    };
    if (!valueFitsCell(asWhole(largest), offsetCapable))
        return doesNotFit("largest", largest, *hi, kLargestCellValue, "at most");
    if (valueFitsCell(asWhole(smallest), offsetCapable)) return {};
    if (!offsetCapable)
        return QStringLiteral(
                   "The smallest value, %1, is below 0, which a meter that is not offset capable "
                   "cannot hold.")
            .arg(number(smallest));
    return doesNotFit("smallest", smallest, *lo, kSmallestCellValue, "at least");
}

// Point selection on the truth t with the knot values v = t rounded.
class Selection {
public:
    Selection(const QVector<double>& truth, const QVector<bool>& allowed) : t(truth), ok(allowed)
    {
        v.resize(t.size());
        for (int k = 0; k < t.size(); ++k)
            v[k] = wholeValue(t[k]);
    }

    // The largest difference between the line from knot i to knot j and the truth.
    double segmentError(int i, int j, int* where = nullptr) const
    {
        double worst = -1;
        const double slope = (v[j] - v[i]) / (j - i);
        for (int k = i; k <= j; ++k) {
            const double e = std::abs(v[i] + slope * (k - i) - t[k]);
            if (e > worst) {
                worst = e;
                if (where) *where = k;
            }
        }
        return worst;
    }

    // Calls take(m) for each knot m, going from knot `from` towards `to` (not included), whose
    // line from `from` stays within e of the truth at every step between. The slopes that keep
    // every step up to m within e form an interval that only narrows as m moves on; once it is
    // empty no knot further on can be reached, and the walk stops.
    template <typename Take> void linesWithin(int from, int to, double e, Take take) const
    {
        const int dir = to > from ? 1 : -1;
        double lo = -std::numeric_limits<double>::infinity();
        double hi = std::numeric_limits<double>::infinity();
        for (int m = from + dir; m != to; m += dir) {
            const double dk = std::abs(m - from);
            lo = std::max(lo, (t[m] - e - v[from]) / dk);
            hi = std::min(hi, (t[m] + e - v[from]) / dk);
            if (lo > hi) break;
            const double s = (v[m] - v[from]) / dk;
            if (ok[m] && s >= lo && s <= hi) take(m);
        }
    }

    static double slackOf(double e) { return e * (1 + 1e-12) + 1e-12; }

    // Knots from the first step to the last, each reaching as far as e allows; empty when e
    // cannot be kept or more than limit knots would be needed.
    QVector<int> greedy(double e, int limit) const
    {
        const int n = int(t.size());
        const double slack = slackOf(e);
        if (std::abs(v[0] - t[0]) > slack) return {};
        QVector<int> knots{0};
        while (knots.last() != n - 1) {
            int next = -1;
            linesWithin(knots.last(), n, slack, [&](int m) { next = m; });
            if (next < 0 || knots.size() >= limit) return {};
            knots.append(next);
        }
        return knots;
    }

    // The fewest knots from the first step to the last that keep every step within e: the
    // shortest path over the pairs of knots whose line stays within e. Empty when e cannot be
    // kept, more than limit knots would be needed, or the search was stopped.
    QVector<int> fewest(double e, int limit) const
    {
        const int n = int(t.size());
        const double slack = slackOf(e);
        if (std::abs(v[0] - t[0]) > slack) return {};
        constexpr int kUnreached = std::numeric_limits<int>::max();
        constexpr int kStopEvery = 256; // knots walked from between two looks at the stop
        QVector<int> count(n, kUnreached);
        QVector<int> previous(n, -1);
        count[0] = 1;
        for (int i = 0; i + 1 < n; ++i) {
            if (i % kStopEvery == 0 && stopped()) return {};
            // A knot no nearer the start than the last step's predecessor shortens nothing.
            if (count[i] == kUnreached || count[i] >= limit || count[i] >= count[n - 1] - 1)
                continue;
            linesWithin(i, n, slack, [&](int m) {
                if (count[i] + 1 < count[m]) {
                    count[m] = count[i] + 1;
                    previous[m] = i;
                }
            });
        }
        if (count[n - 1] > limit) return {};
        QVector<int> knots;
        for (int k = n - 1; k >= 0; k = previous[k])
            knots.prepend(k);
        return knots;
    }

    bool stopped() const { return stop && *stop && (*stop)(); }

    // Adds knots until there are n. Each goes into the worst segment that can take one without
    // raising the largest error, at the step nearest that segment's worst step; only when no
    // segment can does it go where the truth is nearest a whole value.
    void addKnots(QVector<int>& knots, int n) const
    {
        while (knots.size() < n && !stopped()) {
            QVector<double> errors;
            QVector<int> worstAt;
            double worst = 0;
            for (int s = 0; s + 1 < knots.size(); ++s) {
                int at = 0;
                errors.append(segmentError(knots[s], knots[s + 1], &at));
                worstAt.append(at);
                worst = std::max(worst, errors.last());
            }
            QVector<int> order(errors.size());
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(),
                             [&](int a, int b) { return errors[a] > errors[b]; });
            const double slack = slackOf(worst);
            int bestStep = -1;
            for (const int s : order) {
                const int i = knots[s];
                const int j = knots[s + 1];
                if (j - i < 2) continue;
                QVector<char> fromLeft(j - i + 1, 0);
                linesWithin(i, j, slack, [&](int m) { fromLeft[m - i] = 1; });
                int bestDistance = std::numeric_limits<int>::max();
                linesWithin(j, i, slack, [&](int m) {
                    if (fromLeft[m - i] && std::abs(m - worstAt[s]) < bestDistance) {
                        bestDistance = std::abs(m - worstAt[s]);
                        bestStep = m;
                    }
                });
                if (bestStep >= 0) break;
            }
            if (bestStep < 0) {
                // No segment can: the step whose own rounding is the least, nearest the middle of
                // its segment, since a knot's rounding is the least error it brings.
                double bestRounding = std::numeric_limits<double>::infinity();
                int bestDistance = 0;
                for (int s = 0; s + 1 < knots.size(); ++s) {
                    for (int k = knots[s] + 1; k < knots[s + 1]; ++k) {
                        const double rounding = std::abs(v[k] - t[k]);
                        const int distance = std::abs(2 * k - knots[s] - knots[s + 1]);
                        if (ok[k] && (rounding < bestRounding ||
                                      (rounding == bestRounding && distance < bestDistance))) {
                            bestRounding = rounding;
                            bestDistance = distance;
                            bestStep = k;
                        }
                    }
                }
            }
            if (bestStep < 0) return; // every allowed step is a knot already
            knots.insert(std::lower_bound(knots.begin(), knots.end(), bestStep), bestStep);
        }
    }

    LevelPoints pointsAt(const QVector<int>& knots) const
    {
        LevelPoints out;
        for (const int k : knots)
            out.append({k, int(v[k])});
        return out;
    }

    const QVector<double>& t;
    const QVector<bool>& ok;
    QVector<double> v;
    const StopCheck* stop = nullptr;
};

CurveFit refused(const QString& why, QVector<double> truth = {})
{
    CurveFit fit;
    fit.refusal = why;
    fit.truth = std::move(truth);
    return fit;
}

} // namespace

CurveFit fitCurve(const QVector<double>& truth, const PointRequest& request, double scale,
                  bool offsetCapable, const QVector<int>& keepSteps, const StopCheck& stop)
{
    if (truth.size() != kLevelSteps)
        return refused(
            QStringLiteral("The true curve must have a value at each of the %1 level steps.")
                .arg(kLevelSteps));
    if (request.count && (*request.count < 2 || *request.count > CurveTable::kRows))
        return refused(
            QStringLiteral("The number of points must be from 2 to %1.").arg(CurveTable::kRows),
            truth);
    if (!request.count &&
        !(request.tolerance && std::isfinite(*request.tolerance) && *request.tolerance > 0))
        return refused(QStringLiteral("The largest error allowed must be a number greater than 0."),
                       truth);
    if (const QString why = valueRefusal(truth, scale, offsetCapable); !why.isEmpty())
        return refused(why, truth);

    QVector<bool> allowed(kLevelSteps, keepSteps.isEmpty());
    for (const int k : keepSteps)
        allowed[k] = true;
    Selection sel(truth, allowed);
    sel.stop = &stop;
    const auto stoppedFit = [&] { return refused(kStoppedRefusal, truth); };
    QVector<int> knots;
    if (!keepSteps.isEmpty()) {
        knots = keepSteps;
    } else if (request.count) {
        const int n = *request.count;
        double hi = sel.segmentError(0, kLastLevelStep);
        double lo = 0;
        knots = sel.greedy(hi, n);
        for (int i = 0; i < kBisections && hi - lo > 1e-9 * std::max(1.0, hi); ++i) {
            if (sel.stopped()) return stoppedFit();
            const double mid = (lo + hi) / 2;
            QVector<int> tried = sel.greedy(mid, n);
            if (tried.isEmpty()) {
                lo = mid;
            } else {
                hi = mid;
                knots = std::move(tried);
            }
        }
        sel.addKnots(knots, n);
        if (sel.stopped()) return stoppedFit();
    } else {
        knots = sel.fewest(*request.tolerance, CurveTable::kRows);
        if (sel.stopped()) return stoppedFit();
        if (knots.isEmpty()) {
            const CurveFit best = fitCurve(truth, PointRequest::points(CurveTable::kRows), scale,
                                           offsetCapable, {}, stop);
            if (!best.ok()) return best; // stopped: the values fit, so nothing else refuses it
            return refused(
                QStringLiteral(
                    "No curve of at most %1 points stays within %2; with %1 points the largest "
                    "error is %3.")
                    .arg(CurveTable::kRows)
                    .arg(number(*request.tolerance))
                    .arg(number(best.largestError)),
                truth);
        }
    }
    CurveFit fit;
    fit.truth = truth;
    fit.points = sel.pointsAt(knots);
    fit.largestError = largestError(fit.points, truth, &fit.largestErrorStep);
    fit.fullValue = truth.last();
    fit.largestErrorPercent =
        fit.fullValue != 0 ? 100.0 * fit.largestError / std::abs(fit.fullValue) : 0;
    return fit;
}

CurveFit curveFromShape(const TankShape& shape, const LevelRange& range, VolumeUnit volumeUnit,
                        double scale, const PointRequest& request, bool offsetCapable,
                        const StopCheck& stop)
{
    const TrueCurve truth = trueCurveFromShape(shape, range, volumeUnit, scale);
    if (!truth.refusal.isEmpty()) return refused(truth.refusal);
    return fitCurve(truth.values, request, scale, offsetCapable, {}, stop);
}

CurveFit curveFromTable(const StrappingTable& table, bool levelsInPercent, const LevelRange& range,
                        double scale, const PointRequest& request, bool offsetCapable,
                        const StopCheck& stop)
{
    const TrueCurve truth = trueCurveFromTable(table, levelsInPercent, range, scale);
    if (!truth.refusal.isEmpty()) return refused(truth.refusal);
    QVector<int> keep;
    if (request.count && table.rows.size() <= *request.count) {
        for (const double s : truth.rowSteps)
            keep.append(int(std::lround(std::clamp(s, 0.0, double(kLastLevelStep)))));
        const bool distinct = std::adjacent_find(keep.begin(), keep.end()) == keep.end();
        if (!distinct || keep.size() < 2) keep.clear();
    }
    CurveFit fit = fitCurve(truth.values, request, scale, offsetCapable, keep, stop);
    fit.note = truth.note;
    return fit;
}

LevelPoints evenlySpacedPoints(const QVector<double>& truth, int n)
{
    LevelPoints out;
    for (int i = 0; i < n; ++i) {
        const int k = int(std::lround(double(i) * kLastLevelStep / (n - 1)));
        out.append({k, int(wholeValue(truth.value(k)))});
    }
    return out;
}

void fillPointRows(CurveTable& table, const LevelPoints& points)
{
    table.clear();
    int row = 0;
    for (const LevelPoint& p : points) {
        ++row;
        table.setValue(row, valueCellText(p.value));
        table.setPercent(row, percentCellText(p.percent()));
    }
}

TankFileSave saveCurveTankFile(const QString& path, const QString& tankNumberText,
                               const LevelPoints& points, bool offsetMode)
{
    CurveTable table;
    fillPointRows(table, points);
    const int n = int(points.size());
    return saveTankFile(path, tankNumberText, encodeCurve(table, n, offsetMode), n, table,
                        offsetMode);
}

} // namespace kaldor
