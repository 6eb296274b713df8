#include "store/workingfile.h"

#include <QDir>

namespace kaldor {

QString workingFilePath()
{
    return QDir::current().filePath(QStringLiteral("All1.DAT"));
}

} // namespace kaldor
