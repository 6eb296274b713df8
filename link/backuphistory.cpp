#include "link/backuphistory.h"

#include "link/backups.h"
#include "store/indicatortanks.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace kaldor {

QVector<BackupRow> listBackupHistory(const QString& folder, const IndicatorImage* lastRead)
{
    QStringList files = listBackups(folder);
    std::reverse(files.begin(), files.end());
    const QDir dir(folder);
    QVector<BackupRow> rows;
    rows.reserve(files.size());
    for (const QString& file : std::as_const(files)) {
        BackupRow row;
        row.path = dir.filePath(file);
        const std::optional<BackupNameTime> name = backupNameTime(file);
        row.sameSecond = name ? name->suffix : 1;
        row.time = name && name->time.isValid() ? name->time : QFileInfo(row.path).lastModified();
        const IndicatorTanks tanks = loadIndicatorTanks(row.path);
        row.imageBytes = tanks.image.length();
        // An image with no tanks is still what the meter held: a cleared meter.
        const bool read = tanks.ok() || tanks.status == TanksStatus::NoTanks;
        // The row names the file already: the reason alone.
        if (!read) {
            const QString named = row.path + QStringLiteral(": ");
            row.problem =
                tanks.detail.startsWith(named) ? tanks.detail.mid(named.size()) : tanks.detail;
        }
        for (const TankRecord& r : tanks.records)
            row.tanks.append(r.tankNumber);
        if (lastRead)
            row.match = read && tanks.image.bytes() == lastRead->bytes() ? MeterMatch::Same
                                                                         : MeterMatch::Different;
        rows.append(row);
    }
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
