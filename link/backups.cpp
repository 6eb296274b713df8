#include "link/backups.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <optional>
#include <utility>

namespace kaldor {

namespace {

const QString kBackupPrefix = QStringLiteral("meter-");
const QString kReadBackPrefix = QStringLiteral("readback-");
const QString kExtension = QStringLiteral(".idr");

const QString kStampFormat = QStringLiteral("yyyy-MM-dd-HHmmss");

QString stamp(const QDateTime& time)
{
    return time.toString(kStampFormat);
}

// A backup's name read back: its time and the suffix a second backup in that second got.
struct BackupName {
    QString stamp;
    int suffix = 1;
};

std::optional<BackupName> readBackupName(const QString& file)
{
    static const QRegularExpression name(
        QStringLiteral("^meter-(\\d{4}-\\d{2}-\\d{2}-\\d{6})(?:-(\\d+))?\\.idr$"));
    const QRegularExpressionMatch m = name.match(file);
    if (!m.hasMatch()) return std::nullopt;
    return BackupName{m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()};
}

} // namespace

QString defaultBackupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/backups");
}

QString backupFileName(const QDateTime& time)
{
    return kBackupPrefix + stamp(time) + kExtension;
}

QString readBackFileName(const QDateTime& time)
{
    return kReadBackPrefix + stamp(time) + kExtension;
}

std::optional<BackupNameTime> backupNameTime(const QString& fileName)
{
    const std::optional<BackupName> name = readBackupName(fileName);
    if (!name) return std::nullopt;
    return BackupNameTime{QDateTime::fromString(name->stamp, kStampFormat), name->suffix};
}

QString freshPath(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    QString path = dir.filePath(fileName);
    const QString base =
        fileName.endsWith(kExtension) ? fileName.chopped(kExtension.size()) : fileName;
    const QString extension = fileName.endsWith(kExtension) ? kExtension : QString();
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1-%2%3").arg(base).arg(n).arg(extension));
    return path;
}

QStringList listBackups(const QString& folder, const QString& newest)
{
    const QString newestFile = QFileInfo(newest).fileName();
    const std::optional<BackupName> newestName = readBackupName(newestFile);
    // A name's time may lie ahead of the backup just made (a clock set wrong and then put
    // right, files copied from another computer): no backup counts as newer than that one, so
    // those are ordered as made with it, and the one just made is never removed.
    const QString latest = newestName ? newestName->stamp : QString();
    struct Entry {
        BackupName name;
        QString file;
    };
    QList<Entry> entries;
    const QDir dir(folder);
    for (const QString& file :
         dir.entryList({kBackupPrefix + QStringLiteral("*") + kExtension}, QDir::Files)) {
        std::optional<BackupName> name = readBackupName(file);
        if (!name || file == newestFile) continue;
        if (!latest.isEmpty()) name->stamp = std::min(name->stamp, latest);
        entries.append({*name, file});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::pair(a.name.stamp, a.name.suffix) < std::pair(b.name.stamp, b.name.suffix);
    });
    QStringList files;
    for (const Entry& e : entries)
        files.append(e.file);
    return files;
}

int pruneBackups(const QString& folder, const QString& newest, int keep)
{
    const QStringList oldestFirst = listBackups(folder, newest);
    const int room = std::max(0, keep - (QFileInfo(newest).fileName().isEmpty() ? 0 : 1));
    QDir dir(folder);
    int removed = 0;
    for (int i = 0; i + room < oldestFirst.size(); ++i)
        removed += dir.remove(oldestFirst[i]) ? 1 : 0;
    return removed;
}

} // namespace kaldor
