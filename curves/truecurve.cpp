#include "curves/truecurve.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace kaldor {

namespace {

constexpr double kStepsPerPercent = 100.0;
constexpr double kCoverSlack =
    1e-6; // in steps: a table's end that misses a range end by less covers it

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

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
    out.rowSteps = rows.steps;
    out.note = rows.note;
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

} // namespace kaldor
