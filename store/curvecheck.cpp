#include "store/curvecheck.h"

#include "store/indicatorimage.h"
#include "store/textrules.h"
#include "store/wordcodec.h"

#include <cmath>

namespace kaldor {

namespace {

constexpr double kWordScale = 32767.0;

// In the offset-capable layout the offset lifts the first point to 0: minus its value.
double curveOffset(const CurveTable& t, bool offsetMode)
{
    return offsetMode ? -val(t.value(1)) : 0.0;
}
constexpr int kMaxTwoByteValue = 65535;

void appendWord(QByteArray& out, int word)
{
    out += static_cast<char>(word / 256);
    out += static_cast<char>(word % 256);
}

} // namespace

CurveCheck validateCurve(CurveTable& t, CheckForm form)
{
    CurveCheck result;
    bool sorted = false;
    constexpr int R = CurveTable::kRows;
    constexpr int V = CurveTable::kValueColumn;
    constexpr int P = CurveTable::kPercentColumn;
    GridCell& cell = result.currentCell; // the compaction tests the text of the cell it moves to

    // Compact and sort. A deleted row's successor moves up into the position just passed.
    for (int p = 1; p <= R; ++p) {
        cell.row = p;
        if (t.percent(p).isEmpty() || t.value(p).isEmpty()) {
            t.deleteRow(p);
            continue;
        }
        QString a = t.value(p);
        QString b = t.percent(p);
        for (int q = p + 1; q <= R; ++q) {
            cell = {q, P};
            const QString pq = t.percent(q);
            if (val(b) > val(pq) && !pq.isEmpty()) {
                const QString vq = t.value(q);
                t.setValue(q, a);
                t.setPercent(q, b);
                t.setValue(p, vq);
                t.setPercent(p, pq);
                a = vq;
                b = pq;
                sorted = true;
                cell = {p, V};
            }
            if (t.text(cell.row, cell.column).isEmpty()) t.deleteRow(cell.row);
        }
    }
    cell = {1, P};

    const auto fail = [&](const QString& text) {
        result.messages.append(refusal(text));
        result.curveValid = false;
        return result;
    };
    if (t.percent(1).isEmpty()) return fail(QStringLiteral("No data in grid."));
    if (val(t.percent(1)) != 0.0) return fail(QStringLiteral("First % value must be zero."));
    if (sorted)
        result.messages.append(info(QStringLiteral("Data was out of order. It has been sorted")));

    // Neighbouring percentages are compared as texts: "50" and "50.00" differ.
    QString prev = t.percent(1);
    int i = 2;
    for (; i <= R; ++i) {
        if (t.percent(i) == prev) {
            cell = {i, P};
            return fail(QStringLiteral("Same data values in % column."));
        }
        prev = t.percent(i);
        if (prev.isEmpty()) break;
    }
    const int pointCount = i - 1;
    result.pointCount = pointCount;
    if (form == CheckForm::Viewer) return result;
    // A last percentage above 99.99 is refused as one below it: every point would be scaled
    // by it, so 50 % would reach the meter as 5 % for a last point of 999.9.
    if (val(t.percent(pointCount)) != kLastPercent) return fail(kLastPercentMessage);
    if (val(t.value(1)) > val(t.value(pointCount)))
        return fail(QStringLiteral("Curve Entered must have positive slope"));
    return result;
}

QByteArray EncodedCurve::block(bool offsetMode) const
{
    QByteArray out;
    out += static_cast<char>(fullScaleHigh);
    out += static_cast<char>(fullScaleLow);
    if (offsetMode) {
        out += static_cast<char>(offsetHigh);
        out += static_cast<char>(offsetLow);
    }
    return out + pointBytes;
}

EncodedCurve encodeCurve(const CurveTable& t, int pointCount, bool offsetMode)
{
    EncodedCurve out;
    const auto fail = [&](const QString& text) {
        out.messages.append(refusal(text));
        out.ok = false;
        return out;
    };
    if (pointCount < 1 || pointCount > CurveTable::kRows)
        return fail(QStringLiteral("No data in grid."));
    const double pLast = val(t.percent(pointCount));
    const double vLast = val(t.value(pointCount));
    const double offset = curveOffset(t, offsetMode);
    if (pLast != kLastPercent) return fail(kLastPercentMessage);
    const double fullScale = vLast + offset;

    for (int r = 1; r <= pointCount; ++r) {
        const double percentScaled = val(t.percent(r)) / pLast * kWordScale;
        const double sum = val(t.value(r)) + offset;
        if (fullScale == 0.0)
            return fail(sum == 0.0 ? kOverflowMessage : errorText(err::kDivisionByZero));
        const double valueScaled = sum / fullScale * kWordScale;
        // A word is rounded before it is held, so 32767.5 already overflows.
        if (roundHalfEven(percentScaled) > layout::kMaxWordMagnitude ||
            roundHalfEven(valueScaled) > layout::kMaxWordMagnitude)
            return fail(kOverflowMessage);
        const int percentWord = truncateToInt(percentScaled);
        const int valueWord = truncateToInt(valueScaled);
        // A word below 0 has no bytes the meter could take.
        if (percentWord < 0 || valueWord < 0) return fail(errorText(err::kInvalidCall));
        appendWord(out.pointBytes, percentWord);
        appendWord(out.pointBytes, valueWord);
    }

    // Round to whole numbers first, then split: splitting the fraction apart could carry the
    // low byte to 256 and lose it.
    const double fullScaleWhole = roundHalfEven(fullScale);
    if (fullScaleWhole < 0 || fullScaleWhole > kMaxTwoByteValue)
        return fail(errorText(err::kInvalidCall));
    out.fullScale = static_cast<int>(fullScaleWhole);
    out.fullScaleHigh = static_cast<std::uint8_t>(out.fullScale / 256);
    out.fullScaleLow = static_cast<std::uint8_t>(out.fullScale % 256);

    out.offset = truncateToInt(roundHalfEven(offset));
    const auto offsetBytes = encodeWord(out.offset);
    if (!offsetBytes) return fail(errorText(err::kInvalidCall));
    if (offsetMode) {
        out.offsetHigh = offsetBytes->first;
        out.offsetLow = offsetBytes->second;
    }
    out.ok = true;
    return out;
}

CurveSummary summarizeCurve(const CurveTable& t, bool offsetMode)
{
    CurveSummary summary;
    summary.points = t.filledRows();
    if (summary.points == 0) return summary;
    const double offset = curveOffset(t, offsetMode);
    summary.offset = truncateToInt(roundHalfEven(offset));
    summary.fullScale = truncateToInt(roundHalfEven(val(t.value(summary.points)) + offset));
    return summary;
}

CurveCheck checkTankCurve(CurveTable& table, bool offsetMode)
{
    CurveCheck check = validateCurve(table);
    if (!check.curveValid) return check;
    EncodedCurve encoded = encodeCurve(table, check.pointCount.value_or(0), offsetMode);
    check.messages += encoded.messages;
    if (!encoded.ok) {
        check.curveValid = false;
        return check;
    }
    check.encoded = std::move(encoded);
    return check;
}

} // namespace kaldor
