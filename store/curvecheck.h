#pragma once
// Checking and ordering a curve before it is graphed, sent or saved, and encoding it into
// the words of a tank record.

#include "store/curvetable.h"
#include "store/messages.h"

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace kaldor {

// The percentage of a curve's last point: the grid holds no larger one.
inline constexpr double kLastPercent = 99.99;

inline const QString kOverflowMessage = QStringLiteral("Last value in grid must be largest");
inline const QString kLastPercentMessage = QStringLiteral("Last % value must be 99.99");

struct EncodedCurve {
    bool ok = false;
    Messages messages;
    int fullScale = 0; // whole number, rounded half to even
    int offset = 0;    // whole number; 0 in the not-offset-capable layout
    std::uint8_t fullScaleHigh = 0;
    std::uint8_t fullScaleLow = 0;
    std::uint8_t offsetHigh = 0; // sign and magnitude: bit 7 set for a negative offset
    std::uint8_t offsetLow = 0;
    QByteArray pointBytes; // per point: percent word high, low, value word high, low

    // The tank data block as the meter takes it: full scale, the offset in the offset-capable
    // layout, then the points.
    QByteArray block(bool offsetMode) const;
};

// The editor checks everything; the viewer's graph only compacts, orders and tests the first
// percentage and the duplicates.
enum class CheckForm { Editor, Viewer };

struct CurveCheck {
    bool curveValid = true;
    Messages messages;                   // in the order they are shown
    std::optional<int> pointCount;       // set when the check got as far as counting the points
    GridCell currentCell;                // the cell the check leaves current in the grid
    std::optional<EncodedCurve> encoded; // checkTankCurve: the encoding of the checked curve
};

// Drops rows without a value or a percentage, orders the rest by percentage (selection sort,
// strict comparison), and checks: first percentage 0, no two neighbouring percentage texts
// equal, last percentage exactly 99.99, first value not above the last.
CurveCheck validateCurve(CurveTable& table, CheckForm form = CheckForm::Editor);

// Rows 1 .. pointCount: offset = minus the first value (offset-capable) or 0; full scale = last
// value plus offset; percent word = P / Plast x 32767 and value word = (V + offset) / FS x 32767,
// both truncated. Refuses a last percentage other than 99.99 (above it every point would be
// scaled down by it) and what cannot be held in the words: a word above 32767 ("Last value in
// grid must be largest"), a word below 0 or a full scale that does not fit in two bytes
// (error 5), a full scale of 0 (error 11, or the overflow message when 0 / 0).
EncodedCurve encodeCurve(const CurveTable& table, int pointCount, bool offsetMode);

// What the editor shows beside the grid as the user types: the number of filled rows, and the
// full scale and offset encodeCurve would make of them (rounded as it rounds), whether or not
// the curve is complete yet. No full scale while the grid is empty.
struct CurveSummary {
    int points = 0;
    std::optional<int> fullScale;
    int offset = 0; // 0 in the not-offset-capable layout
};
CurveSummary summarizeCurve(const CurveTable& table, bool offsetMode);

// The whole check of a curve that leaves the editor or comes from a tank file to be sent,
// saved, exported or built: validateCurve, then encodeCurve of the checked points. Valid only
// when both pass; the messages of both in order.
CurveCheck checkTankCurve(CurveTable& table, bool offsetMode);

} // namespace kaldor
