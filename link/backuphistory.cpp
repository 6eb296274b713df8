#include "link/backuphistory.h"

#include "link/backups.h"
#include "store/indicatortanks.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace kaldor {

namespace {

BackupReadings::Reading readBackup(const QString& path, const QString& file)
{
    BackupReadings::Reading reading;
    BackupRow& row = reading.row;
    row.path = path;
    const std::optional<BackupNameTime> name = backupNameTime(file);
    row.sameSecond = name ? name->suffix : 1;
    row.time = name && name->time.isValid() ? name->time : QFileInfo(path).lastModified();
    const IndicatorTanks tanks = loadIndicatorTanks(path);
    row.imageBytes = tanks.image.length();
    // An image with no tanks is still what the meter held: a cleared meter.
    reading.read = tanks.ok() || tanks.status == TanksStatus::NoTanks;
    if (reading.read) reading.image = tanks.image.bytes();
    // The row names the file already: the reason alone.
    if (!reading.read) {
        const QString named = path + QStringLiteral(": ");
        row.problem =
            tanks.detail.startsWith(named) ? tanks.detail.mid(named.size()) : tanks.detail;
    }
    for (const TankRecord& r : tanks.records)
        row.tanks.append(r.tankNumber);
    return reading;
}

} // namespace

QVector<BackupRow> listBackupHistory(const QString& folder, const IndicatorImage* lastRead,
                                     BackupReadings* readings)
{
    QStringList files = listBackups(folder);
    std::reverse(files.begin(), files.end());
    const QDir dir(folder);
    const QByteArray last = lastRead ? lastRead->bytes() : QByteArray();
    BackupReadings kept;
    QVector<BackupRow> rows;
    rows.reserve(files.size());
    for (const QString& file : std::as_const(files)) {
        const QString path = dir.filePath(file);
        const QFileInfo info(path);
        BackupReadings::Reading reading;
        bool known = false;
        if (readings) {
            const auto before = readings->byPath.constFind(path);
            known = before != readings->byPath.constEnd() && before->fileSize == info.size() &&
                    before->modified == info.lastModified();
            if (known) reading = *before;
        }
        if (!known) {
            reading = readBackup(path, file);
            reading.fileSize = info.size();
            reading.modified = info.lastModified();
        }
        BackupRow row = reading.row;
        if (lastRead)
            row.match =
                reading.read && reading.image == last ? MeterMatch::Same : MeterMatch::Different;
        rows.append(row);
        if (readings) kept.byPath.insert(path, std::move(reading));
    }
    if (readings) *readings = std::move(kept);
    return rows;
}

QString backupTimeText(const BackupRow& row)
{
    QString text = row.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (row.sameSecond > 1) text += QStringLiteral(" (%1)").arg(row.sameSecond);
    return text;
}

QString backupTanksText(const BackupRow& row)
{
    if (!row.problem.isEmpty()) return row.problem;
    if (row.tanks.isEmpty()) return QStringLiteral("none");
    QStringList numbers;
    for (int n : row.tanks)
        numbers.append(QString::number(n));
    return numbers.join(QStringLiteral(", "));
}

} // namespace kaldor
