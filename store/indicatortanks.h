#pragma once
// Opening an indicator file to show its tanks: the container read, the image decoded into
// its directory's records. The tank editor's and the viewer's loading and kaldorctl's show
// run this; each shows the outcome in its own way.

#include "store/indicatorfile.h"
#include "store/tankrecords.h"

#include <QString>
#include <QVector>

namespace kaldor {

enum class TanksStatus {
    Ok,        // records holds one entry per directory entry, at least one
    NotFound,  // the file does not exist: each window has its own text for that
    EndOfData, // the file ended before or right after the N-th image value
    NoTanks,   // the image holds no tanks (byte 16 is 0)
    Failed,    // reading or decoding failed: message is "Error: " and the number
};

inline const QString kNoTankDataMessage = QStringLiteral("No tank data");

struct IndicatorTanks {
    TanksStatus status = TanksStatus::Failed;
    bool fileOpened = false;     // the file was found and read (the editor's indicatorLoaded)
    IndicatorImage image;        // as far as it was read
    QVector<TankRecord> records; // directory order; empty unless status is Ok
    QString message;             // the window's text; empty for Ok and NotFound
    QString detail;              // the path, ": " and what is wrong; empty for Ok
    bool ok() const { return status == TanksStatus::Ok; }
};

IndicatorTanks loadIndicatorTanks(const QString& path);

} // namespace kaldor
