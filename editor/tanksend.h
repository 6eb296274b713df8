#pragma once
// What the single-tank send puts on the line, prepared from the grid and checked before the
// link is asked for anything.

#include "link/tankexchange.h"
#include "store/curvecheck.h"
#include "store/curvetable.h"
#include "store/messages.h"

#include <QList>
#include <optional>

namespace kaldor {

struct TankSendPreparation {
    std::optional<TankSend> send;
    Messages messages;        // why there is none
    bool numberInUse = false; // the loaded image holds the tank number
};

// The curve's part of those checks, which need no tank number: the curve encodes and its full
// scale fits the meter's word. The editor asks this before it asks for a tank number.
struct CurveForSend {
    std::optional<EncodedCurve> encoded;
    Messages messages; // why there is none
};
CurveForSend encodeCurveForSend(const CurveTable& table, int pointCount, bool offsetMode);

// The checks made before anything is written: the tank number not in the loaded image, a
// tank number byte 1 .. 255, and a curve that encodes (last percentage, words 0 .. 32767,
// full scale 1 .. 32767: the meter reads the high bit of the full scale as a sign).
TankSendPreparation prepareTankSend(const CurveTable& table, int pointCount,
                                    const QString& tankNumberText,
                                    const QList<int>& loadedTankNumbers, bool offsetMode);

} // namespace kaldor
