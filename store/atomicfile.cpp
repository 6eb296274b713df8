#include "store/atomicfile.h"

#include "store/inputfile.h"
#include "store/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kaldor {

namespace {

int errorNumberFor(QFileDevice::FileError e, const QString& path)
{
    switch (e) {
    case QFileDevice::PermissionsError:
        return err::kPermissionDenied;
    case QFileDevice::ResourceError:
        return err::kDiskFull;
    case QFileDevice::OpenError:
        return QFileInfo(path).absoluteDir().exists() ? err::kPathAccess : err::kPathNotFound;
    default:
        return err::kPathAccess;
    }
}

} // namespace

FileWriteResult writeFileAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, errorNumberFor(file.error(), path), file.errorString()};
    }
    // QSaveFile does not flag a short write when some bytes were stored (disk full), and
    // commit() would then replace the old file with a truncated one: check every byte.
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 n = file.write(data.constData() + written, data.size() - written);
        if (n <= 0)
            break;
        written += n;
    }
    if (written != data.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return {false, err::kDiskFull, why.isEmpty() ? QStringLiteral("short write") : why};
    }
    if (!file.commit())
        return {false, errorNumberFor(file.error(), path), file.errorString()};
    return {true, 0, {}};
}

FileWriteResult copyFileAtomically(const QString& from, const QString& to)
{
    const InputFile source = readInputFile(from);
    if (!source.ok())
        return {false, source.errorNumber, fileRefusal(from, source.reason)};
    return writeFileAtomically(to, source.data);
}

} // namespace kaldor
