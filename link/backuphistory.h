#pragma once
// The meter's history: the backups folder listed newest first, one row a backup, with the time
// it was made, the tanks it holds, the size of its image and whether it holds the image last
// read from the meter in this run. Each file is read by the indicator-file readers; nothing
// here touches the meter.

#include "store/indicatorimage.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

namespace kaldor {

// How a backup stands against the image last read from the meter.
enum class MeterMatch {
    NotRead,   // nothing was read from the meter in this run, or a write made it unknown
    Same,      // the backup holds exactly that image
    Different, // it holds another, or it cannot be read
};

struct BackupRow {
    QString path;
    QDateTime time;     // from the name; the file's own time when the name carries none
    int sameSecond = 1; // 2, 3, ... for the further backups made in one second
    int imageBytes = 0; // the image's length as the file counts it
    QVector<int> tanks; // directory order; empty when the image holds none or is unreadable
    QString problem;    // why the file does not read as tanks; empty when it does
    MeterMatch match = MeterMatch::NotRead;
};

// The files a listing has read, by path: one whose size and time have not changed since is not
// read again, so that a window can list the folder after every exchange.
struct BackupReadings {
    struct Reading {
        qint64 fileSize = -1;
        QDateTime modified;
        BackupRow row;     // without its match
        QByteArray image;  // the image's bytes; empty when the file cannot be read
        bool read = false; // the image was read whole
    };
    QHash<QString, Reading> byPath;
};

// The backups of `folder` (those listBackups names), newest first. lastRead: the image last
// read from the meter, or null. readings: kept between listings, or null.
QVector<BackupRow> listBackupHistory(const QString& folder, const IndicatorImage* lastRead,
                                     BackupReadings* readings = nullptr);

// "2026-12-07 14:30:05", and " (2)" after it for the second backup of that second.
QString backupTimeText(const BackupRow& row);
// "1, 2, 7"; "none" for an image that holds no tanks; the problem for one that cannot be read.
QString backupTanksText(const BackupRow& row);

} // namespace kaldor
