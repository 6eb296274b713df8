#pragma once
// Sending one tank's curve to the meter ("CD"). What is sent is prepared and checked next to
// the curve logic (editor/tanksend.h).

#include "link/wire.h"

#include <QByteArray>
#include <QString>

namespace kaldor {

struct TankSend {
    int tankNumber = 0;
    QByteArray block; // full scale, the offset (offset-capable layout), the points
    bool offsetMode = true;
};

// The exchange; after any exchange that began the working file is deleted (none when empty).
ExchangeResult sendTankCurve(ExchangeContext& ctx, const TankSend& send,
                             const QString& workingFile);

} // namespace kaldor
