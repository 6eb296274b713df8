#pragma once
// The backups folder: what the meter held before each write, one indicator file a write, named
// by the time it was made ("meter-2026-12-07-143005.idr"), and beside them what a failed verify
// read back ("readback-…"). The folder keeps the newest kKeep backups; an existing file is never
// written over.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace kaldor {

namespace backups {
constexpr int kKeep = 100; // the newest backups kept in the folder; older ones are removed
} // namespace backups

// The user's data directory (QStandardPaths::AppDataLocation) and "/backups".
QString defaultBackupFolder();
// "meter-2026-12-07-143005.idr"
QString backupFileName(const QDateTime& time);
// "readback-2026-12-07-143005.idr"
QString readBackFileName(const QDateTime& time);
// What a backup's name says: the time it was made (invalid when the digits name no real time)
// and the suffix a second backup in the same second got (1 for none).
struct BackupNameTime {
    QDateTime time;
    int suffix = 1;
};
// nullopt when the name is not a backup's ("meter-…" and ".idr" around the time).
std::optional<BackupNameTime> backupNameTime(const QString& fileName);
// A path in `folder` for `fileName` that names no file yet: "-2", "-3", ... before ".idr" when
// the name is taken. An existing file is never written over.
QString freshPath(const QString& folder, const QString& fileName);
// The backups (meter-*.idr) in `folder`, oldest first, by the time their names carry and then by
// the suffix a second backup in the same second got. `newest`, the backup just made (empty:
// none), is left out, and no other backup counts as newer than it.
QStringList listBackups(const QString& folder, const QString& newest = {});
// Removes the oldest backups beyond the newest `keep`; returns how many went. `newest` is kept
// whatever the other names say.
int pruneBackups(const QString& folder, const QString& newest, int keep = backups::kKeep);

} // namespace kaldor
