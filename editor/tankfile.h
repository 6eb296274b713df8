#pragma once
// Tank files (*.tnk): one tank's curve with its tank number, in formatted print:
//   the tank number as typed, CR LF
//   the full scale as a number (" 1000 "), CR LF
//   the offset as a number, CR LF            (offset-capable layout only)
//   the point count as a number, CR LF
//   per point: the VALUE text, ", ", the percentage text, ","   (no line end at all)
// The file records no layout: it is read in the layout that is current when it is read.

#include "editor/curvecheck.h"
#include "editor/curvetable.h"
#include "store/messages.h"
#include "store/tankrecords.h"

#include <optional>

namespace kaldor {

inline const QString kTankNumberRefusal =
    QStringLiteral("Input not accepted. Tank number must be between 1 and 255.");

// ".tnk" or ".TNK" anywhere in the path, exact case.
bool hasTankExtension(const QString& path);

// True when the text read with the Val rule is a tank number 1 .. 255.
bool isTankNumberText(const QString& text);

QByteArray formatTankFile(const QString& tankNumberText, int fullScale, int offset, int pointCount,
                          const CurveTable& table, bool offsetMode);

struct TankFileSave {
    bool ok = false;
    Messages messages;
};

// Writes the tank file atomically from a successful encoding of the same curve. Refuses, and
// writes nothing, when the encoding failed, the tank number is outside 1 .. 255, or the full
// scale or the offset lies outside -32767 .. 32767.
TankFileSave saveTankFile(const QString& path, const QString& tankNumberText, const EncodedCurve& encoded,
                          int pointCount, const CurveTable& table, bool offsetMode);

struct TankFileOpen {
    bool ok = false;
    Messages messages;
    // Fields read before a failure keep their values.
    std::optional<QString> tankNumberText;
    std::optional<int> pointCount;
};

// Empties rows 1 .. 100, then reads the file into the table. A missing file gives "File not
// found."; a failure while reading gives "Error: " and its number (62 past the end, 13 a field
// that is not a number, 6 a full scale outside 16 bits, 9 more than 100 points) and leaves the
// rows empty. A point count of 0 or less gives an empty curve.
TankFileOpen openTankFile(const QString& path, bool offsetMode, CurveTable& table);

// The curve of a loaded record in the grid, as a double-click on the tank list shows it:
// rows emptied, row 1 current, one row per point. Returns the point count.
int fillCurveTable(CurveTable& table, const TankRecord& record, bool offsetMode);

} // namespace kaldor
