#include "curves/curvefit.h"

#include "store/celltexts.h"
#include "store/curvecheck.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kaldor
{

namespace
{

constexpr double kStepsPerPercent = 100.0;
constexpr double kCoverSlack =
    1e-6; // in steps: a table's end that misses a range end by less covers it
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
long long asWhole(double v) { return static_cast<long long>(std::clamp(v, -1e15, 1e15)); }

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
class Selection
{
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

QString levelRangeRefusal(const LevelRange& range)
{
    if (range.zero && !std::isfinite(*range.zero))
        return QStringLiteral("The level zero must be a number.");
    if (range.span && !(std::isfinite(*range.span) && *range.span > 0))
        return QStringLiteral("The level span must be a number greater than 0.");
    return {};
}

QString scaleRefusal(double scale)
{
    return std::isfinite(scale) && scale > 0
               ? QString()
               : QStringLiteral("The scale must be a number greater than 0.");
}

// A table's rows in level order as (step, value) pairs, the step a fraction of the level steps.
struct TableSteps {
    QVector<double> steps;
    QVector<double> values;
    QString refusal;
    QString note; // the rows outside the level range, which the curve does not use
};

// "lines 1 to 50 and 252 to 301": the lines in runs, the first few of them.
QString lineList(QVector<int> lines)
{
    constexpr int kRunsNamed = 4;
    std::sort(lines.begin(), lines.end());
    QStringList runs;
    for (int i = 0; i < lines.size();) {
        int j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1)
            ++j;
        if (runs.size() == kRunsNamed) {
            runs.append(QStringLiteral("more"));
            break;
        }
        runs.append(j == i ? QString::number(lines[i])
                           : QStringLiteral("%1 to %2").arg(lines[i]).arg(lines[j]));
        i = j + 1;
    }
    const QString last = runs.takeLast();
    return (lines.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines ")) +
           (runs.isEmpty() ? last
                           : runs.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last);
}

TableSteps tableSteps(const StrappingTable& table, bool levelsInPercent, const LevelRange& range,
                      double scale)
{
    TableSteps out;
    if (!table.ok()) {
        out.refusal = table.refusal;
        return out;
    }
    out.refusal = levelsInPercent ? QString() : levelRangeRefusal(range);
    if (out.refusal.isEmpty()) out.refusal = scaleRefusal(scale);
    if (!out.refusal.isEmpty()) return out;
    if (levelsInPercent) {
        // A level past 100 is no percentage: most likely a length read with the wrong unit.
        const auto above = std::find_if(table.rows.begin(), table.rows.end(),
                                        [](const StrappingRow& r) { return r.level > 100; });
        if (above != table.rows.end()) {
            QStringList units = lengthUnitNames();
            const QString last = units.takeLast();
            out.refusal =
                QStringLiteral("line %1: the level %2 is above 100 %, so the levels are "
                               "not percentages; give their length unit (%3).")
                    .arg(above->line)
                    .arg(number(above->level))
                    .arg(units.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last);
            return out;
        }
    }
    QVector<StrappingRow> rows = table.rows;
    std::stable_sort(rows.begin(), rows.end(), [](const StrappingRow& a, const StrappingRow& b) {
        return a.level < b.level;
    });
    for (int i = 1; i < rows.size(); ++i) {
        const StrappingRow& below = rows[i - 1];
        const StrappingRow& row = rows[i];
        if (row.level == below.level && row.volume != below.volume) {
            out.refusal = QStringLiteral("line %1: level %2 is also on line %3 with another volume")
                              .arg(row.line)
                              .arg(number(row.level))
                              .arg(below.line);
            return out;
        }
        if (row.volume < below.volume) {
            out.refusal =
                QStringLiteral(
                    "line %1: the volume %2 is less than %3 at the lower level on line %4")
                    .arg(row.line)
                    .arg(number(row.volume))
                    .arg(number(below.volume))
                    .arg(below.line);
            return out;
        }
    }
    const double zero = levelsInPercent ? 0 : range.zero.value_or(0);
    const double span = levelsInPercent ? kLastLevelStep / kStepsPerPercent
                                        : range.span.value_or(rows.last().level - zero);
    if (!(span > 0)) {
        out.refusal = QStringLiteral("The table's highest level must lie above the level zero.");
        return out;
    }
    for (const StrappingRow& row : rows) {
        out.steps.append((row.level - zero) / span * kLastLevelStep);
        out.values.append(row.volume * scale);
    }
    if (out.steps.first() > kCoverSlack || out.steps.last() < kLastLevelStep - kCoverSlack) {
        const QString unit = levelsInPercent ? QStringLiteral(" %") : QString();
        out.refusal =
            QStringLiteral(
                "The table's levels run from %1%3 to %2%3 and do not cover the level range "
                "from %4%3 to %5%3.")
                .arg(number(rows.first().level), number(rows.last().level), unit, number(zero),
                     number(zero + span));
        return out;
    }
    // The rows beyond the ones on or next outside either end of the range are not used.
    const int n = int(out.steps.size());
    int lo = 0;
    while (lo + 1 < n && out.steps[lo + 1] <= kCoverSlack)
        ++lo;
    int hi = n - 1;
    while (hi > lo && out.steps[hi - 1] >= kLastLevelStep - kCoverSlack)
        --hi;
    QVector<int> unused;
    for (int i = 0; i < n; ++i)
        if (i < lo || i > hi) unused.append(rows[i].line);
    if (!unused.isEmpty()) {
        const QString unit = levelsInPercent ? QStringLiteral(" %") : QString();
        out.note =
            QStringLiteral("%1 %2 (%3) %4 outside the level range %5%7 to %6%7 and %8 not used")
                .arg(unused.size())
                .arg(unused.size() == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                .arg(lineList(unused))
                .arg(unused.size() == 1 ? QStringLiteral("lies") : QStringLiteral("lie"))
                .arg(number(zero), number(zero + span), unit)
                .arg(unused.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    }
    return out;
}

CurveFit refused(const QString& why, QVector<double> truth = {})
{
    CurveFit fit;
    fit.refusal = why;
    fit.truth = std::move(truth);
    return fit;
}

} // namespace

TrueCurve trueCurveFromShape(const TankShape& shape, const LevelRange& range, VolumeUnit volumeUnit,
                             double scale)
{
    TrueCurve out;
    out.refusal = tankShapeRefusal(shape);
    if (out.refusal.isEmpty()) out.refusal = levelRangeRefusal(range);
    if (out.refusal.isEmpty()) out.refusal = scaleRefusal(scale);
    if (!out.refusal.isEmpty()) return out;
    if (!(levelAtStep(shape, range, kLastLevelStep) > levelAtStep(shape, range, 0))) {
        out.refusal = QStringLiteral("The level zero must lie below the top of the tank.");
        return out;
    }
    const TankVolume volume(shape);
    const double perUnit = scale / cubicMetresPer(volumeUnit);
    out.values.resize(kLevelSteps);
    for (int k = 0; k < kLevelSteps; ++k)
        out.values[k] = volume.cubicMetresAt(levelAtStep(shape, range, k)) * perUnit;
    return out;
}

double levelAtStep(const TankShape& shape, const LevelRange& range, int step)
{
    const double zero = range.zero.value_or(0);
    const double span = range.span.value_or(tankHeight(shape) - zero);
    return zero + span * step / kLastLevelStep;
}

TrueCurve trueCurveFromTable(const StrappingTable& table, bool levelsInPercent,
                             const LevelRange& range, double scale)
{
    TrueCurve out;
    const TableSteps rows = tableSteps(table, levelsInPercent, range, scale);
    out.refusal = rows.refusal;
    if (!out.refusal.isEmpty()) return out;
    out.values.resize(kLevelSteps);
    int r = 0; // rows r and r + 1 enclose the step
    const int n = int(rows.steps.size());
    for (int k = 0; k < kLevelSteps; ++k) {
        while (r + 1 < n && rows.steps[r + 1] < k)
            ++r;
        if (r + 1 >= n || rows.steps[r + 1] == rows.steps[r]) {
            out.values[k] = rows.values[std::min(r + 1, n - 1)];
            continue;
        }
        const double f =
            std::clamp((k - rows.steps[r]) / (rows.steps[r + 1] - rows.steps[r]), 0.0, 1.0);
        out.values[k] = rows.values[r] + f * (rows.values[r + 1] - rows.values[r]);
    }
    return out;
}

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
    const TableSteps rows = tableSteps(table, levelsInPercent, range, scale);
    QVector<int> keep;
    if (request.count && table.rows.size() <= *request.count) {
        for (const double s : rows.steps)
            keep.append(int(std::lround(std::clamp(s, 0.0, double(kLastLevelStep)))));
        const bool distinct = std::adjacent_find(keep.begin(), keep.end()) == keep.end();
        if (!distinct || keep.size() < 2) keep.clear();
    }
    CurveFit fit = fitCurve(truth.values, request, scale, offsetCapable, keep, stop);
    fit.note = rows.note;
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

QVector<double> readingErrors(const LevelPoints& points, const QVector<double>& truth)
{
    QVector<double> errors(truth.size(), 0.0);
    for (int p = 0; p + 1 < points.size(); ++p) {
        const LevelPoint& a = points[p];
        const LevelPoint& b = points[p + 1];
        for (int k = std::max(a.step, 0); k <= b.step && k < truth.size(); ++k)
            errors[k] =
                a.value + double(b.value - a.value) * (k - a.step) / (b.step - a.step) - truth[k];
    }
    return errors;
}

double largestError(const LevelPoints& points, const QVector<double>& truth, int* where)
{
    const QVector<double> errors = readingErrors(points, truth);
    double worst = 0;
    int at = 0;
    for (int k = 0; k < errors.size(); ++k) {
        if (std::abs(errors[k]) > worst) {
            worst = std::abs(errors[k]);
            at = k;
        }
    }
    if (where) *where = at;
    return worst;
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
