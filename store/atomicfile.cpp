#include "store/atomicfile.h"

#include "store/inputfile.h"
#include "store/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Closes the descriptor however the write ends, unless it was closed and checked.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0) ::close(fd);
    }
};

// A FIFO or a character device (/dev/null, /dev/full, a terminal) is not a file to replace:
// renaming a temporary file over it would put a regular file in its place, and as root even
// in /dev. The bytes are written into it, every one checked. A FIFO that no program reads is
// refused at once rather than waited on; a block device or a socket is refused.
FileWriteResult writeIntoDevice(const QString& path, const QByteArray& data, mode_t mode)
{
    if (S_ISBLK(mode)) return writeFailure(0, QStringLiteral("a block device; not written"));
    if (S_ISSOCK(mode)) return writeFailure(0, QStringLiteral("a socket; not written"));
    Descriptor out{
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (out.fd < 0) {
        const int e = errno;
        return e == ENXIO
                   ? writeFailure(
                         e, QStringLiteral("a FIFO that no program reads; nothing was written"))
                   : writeFailure(e);
    }
    // Once open, the writes may wait for the reader to take what it has been given.
    const int flags = ::fcntl(out.fd, F_GETFL);
    if (flags < 0 || ::fcntl(out.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return writeFailure(errno);
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n =
            ::write(out.fd, data.constData() + written, std::size_t(data.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return writeFailure(n < 0 ? errno : ENOSPC);
        written += n;
    }
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0) return writeFailure(errno);
    return {true, 0, {}};
}

} // namespace

FileWriteResult writeFailure(int e, const QString& why)
{
    const int number = e == ENOSPC                 ? err::kDiskFull
                       : e == EACCES || e == EPERM ? err::kPermissionDenied
                                                   : err::kPathAccess;
    return {false, number,
            why.isEmpty() ? QString::fromLocal8Bit(std::strerror(e)).toLower() : why};
}

FileWriteResult writeFileAtomically(const QString& path, const QByteArray& data)
{
    struct stat target {};
    if (!path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &target) == 0 &&
        !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        return writeIntoDevice(path, data, target.st_mode);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, errorNumberFor(file.error(), path), file.errorString()};
    }
    // QSaveFile does not flag a short write when some bytes were stored (disk full), and
    // commit() would then replace the old file with a truncated one: check every byte.
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 n = file.write(data.constData() + written, data.size() - written);
        if (n <= 0) break;
        written += n;
    }
    if (written != data.size() || !file.flush()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return {false, err::kDiskFull, why.isEmpty() ? QStringLiteral("short write") : why};
    }
    if (!file.commit()) return {false, errorNumberFor(file.error(), path), file.errorString()};
    return {true, 0, {}};
}

FileWriteResult copyFileAtomically(const QString& from, const QString& to)
{
    const InputFile source = readInputFile(from);
    if (!source.ok()) return {false, source.errorNumber, fileRefusal(from, source.reason)};
    return writeFileAtomically(to, source.data);
}

} // namespace kaldor
