#pragma once
// What the main window's status bar says: the line (which port, open or not and why, the mode)
// and the last exchange with the meter, whichever window started it, with its outcome and the
// time of day it ended.

#include "link/serialport.h"
#include "link/wire.h"
#include "store/indicatorimage.h"

#include <QMetaType>
#include <QTime>

#include <memory>

namespace kaldor {

enum class ExchangeKind { Read, Look, Write, SendTank, Clear, Key, Other };

// One exchange as the link finished it.
struct ExchangeRecord {
    ExchangeKind kind = ExchangeKind::Other;
    ExchangeResult result;
    int tankCount = -1; // a read that was done: the tanks its image holds
    // A write that stopped before writing: why ("no backup could be made (…)").
    QString notWritten;
    QTime finishedAt;
    // The whole image the exchange read last: a read's, or a write's read-back; null when none.
    std::shared_ptr<const IndicatorImage> image;
};

// The line as the link last left it.
struct LineState {
    QString portName; // as the port names itself: the device path, or the simulated meter
    bool open = false;
    bool tried = false; // an open has answered
    PortStatus status;  // why the line is not open, when it failed
};

// "Line: /dev/ttyS0, open. Mode: Meter Offset Capable." A port that could not be opened is
// named with the reason and Comm, where another one is chosen.
QString lineStatusText(const LineState& line, bool offsetMode);
// "Last exchange (12:04:31): read the meter, done: 3 tanks. …"; a failure adds what to check.
QString exchangeStatusText(const ExchangeRecord& record);
// A plain sentence of what to check after an exchange that stopped at one of its stages;
// empty for one that was done or called off.
QString whatToCheck(const ExchangeResult& result);

} // namespace kaldor

Q_DECLARE_METATYPE(kaldor::ExchangeRecord)
