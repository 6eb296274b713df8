#include "store/inputfile.h"

#include "store/limits.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldor {

namespace {

InputFile refused(int errorNumber, const QString& reason)
{
    return {{}, errorNumber, reason};
}

InputFile refusedByErrno(int e)
{
    switch (e) {
    case ENOENT:
    case ENOTDIR:
        return refused(err::kFileNotFound, QStringLiteral("file not found"));
    case EACCES:
    case EPERM:
        return refused(err::kPermissionDenied, QStringLiteral("permission denied"));
    default:
        return refused(err::kPathAccess, QString::fromLocal8Bit(std::strerror(e)).toLower());
    }
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode)) return QStringLiteral("a directory");
    if (S_ISFIFO(mode)) return QStringLiteral("a FIFO");
    if (S_ISCHR(mode)) return QStringLiteral("a character device");
    if (S_ISBLK(mode)) return QStringLiteral("a block device");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    return QStringLiteral("not a file");
}

InputFile tooLarge(const QString& size)
{
    return refused(err::kPathAccess,
                   QStringLiteral("%1 bytes, larger than any indicator or tank file "
                                  "(at most %2 bytes); not read")
                       .arg(size)
                       .arg(limits::kMaxInputFileBytes));
}

// Closes the descriptor however the read ends.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

InputFile readInputFile(const QString& path)
{
    if (path.isEmpty()) return refused(err::kFileNotFound, QStringLiteral("file not found"));
    // Non-blocking, so that opening a FIFO with no writer returns at once; what was opened is
    // then judged by the descriptor itself, so nothing can be swapped in between.
    const Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) return refusedByErrno(errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return refusedByErrno(errno);
    if (!S_ISREG(info.st_mode))
        return refused(
            err::kPathAccess,
            QStringLiteral("not a regular file (%1); not read").arg(kindOf(info.st_mode)));
    if (info.st_size > limits::kMaxInputFileBytes) return tooLarge(QString::number(info.st_size));

    // A file that grows while it is read is still read no further than one chunk past the limit.
    InputFile read;
    read.data.reserve(qsizetype(info.st_size) + 1);
    char chunk[64 * 1024];
    while (read.data.size() <= limits::kMaxInputFileBytes) {
        const ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refusedByErrno(errno);
        if (n == 0) break;
        read.data.append(chunk, qsizetype(n));
    }
    if (read.data.size() > limits::kMaxInputFileBytes)
        return tooLarge(QStringLiteral("more than %1").arg(limits::kMaxInputFileBytes));
    return read;
}

} // namespace kaldor
