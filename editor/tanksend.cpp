#include "editor/tanksend.h"

#include "store/curvecheck.h"
#include "store/indicatorimage.h"
#include "store/limits.h"
#include "store/tankfile.h"
#include "store/textrules.h"

namespace kaldor {

TankSendPreparation prepareTankSend(const CurveTable& table, int pointCount,
                                    const QString& tankNumberText,
                                    const QList<int>& loadedTankNumbers, bool offsetMode)
{
    TankSendPreparation prep;
    const double number = val(tankNumberText);
    for (const int loaded : loadedTankNumbers) {
        if (loaded == number) {
            prep.messages.append(refusal(QStringLiteral("Tank number already in use.")));
            prep.numberInUse = true;
            return prep;
        }
    }
    // The tank number goes out as one byte: 5.5 is sent as 6, 4.5 as 4.
    const double byte = roundHalfEven(number);
    if (!(byte >= limits::kMinTankNumber && byte <= limits::kMaxTankNumber)) {
        prep.messages.append(refusal(kTankNumberRefusal));
        return prep;
    }
    const CurveForSend curve = encodeCurveForSend(table, pointCount, offsetMode);
    if (!curve.encoded) {
        prep.messages = curve.messages;
        return prep;
    }
    prep.send = TankSend{static_cast<int>(byte), curve.encoded->block(offsetMode), offsetMode};
    return prep;
}

CurveForSend encodeCurveForSend(const CurveTable& table, int pointCount, bool offsetMode)
{
    CurveForSend curve;
    const EncodedCurve encoded = encodeCurve(table, pointCount, offsetMode);
    if (!encoded.ok) {
        curve.messages = encoded.messages;
        return curve;
    }
    // The same bound as the tank file's: a full scale of 32768 or more reads as negative in
    // the meter, which then shows 0 for every value of the tank.
    if (encoded.fullScale > layout::kMaxWordMagnitude) {
        curve.messages.append(
            refusal(QStringLiteral("The full scale %1 is too large for the meter (at most %2); "
                                   "the tank was not sent.")
                        .arg(encoded.fullScale)
                        .arg(layout::kMaxWordMagnitude)));
        return curve;
    }
    curve.encoded = encoded;
    return curve;
}

} // namespace kaldor
