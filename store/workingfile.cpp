#include "store/workingfile.h"

#include "store/limits.h"

#include <QDir>
#include <QFile>

namespace kaldor {

QString workingFilePath()
{
    return QDir::current().filePath(QStringLiteral("All1.DAT"));
}

QString proposedIndicatorFilePath(const QDate& day)
{
    return QDir::current().filePath(QStringLiteral("meter-") + day.toString(Qt::ISODate) +
                                    QStringLiteral(".idr"));
}

int removeWorkingFile()
{
    QFile working(workingFilePath());
    if (!working.exists() || working.remove()) return 0;
    return working.error() == QFileDevice::PermissionsError ? err::kPermissionDenied
                                                            : err::kPathAccess;
}

} // namespace kaldor
