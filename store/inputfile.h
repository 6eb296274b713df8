#pragma once
// Every reader of an indicator file or a tank file takes the file's bytes from here. Only a
// regular file is read, and only when it is no larger than any sound indicator or tank file
// can be: a directory, a FIFO with no writer, a device such as /dev/zero or a file of
// gigabytes is refused before a byte of it is read, never waited on or read without bound.

#include <QByteArray>
#include <QString>

namespace kaldor {

struct InputFile {
    QByteArray data;
    // 0 when read; 53 the file does not exist, 70 permission denied, 75 not a regular file,
    // too large, or a failure while reading.
    int errorNumber = 0;
    QString reason; // why it was refused, without the path: "permission denied"
    bool ok() const { return errorNumber == 0; }
};

InputFile readInputFile(const QString& path);

// A refusal that names the file, as the tool and the logs print it: "a.idr: permission denied".
inline QString fileRefusal(const QString& path, const QString& why)
{
    return path + QStringLiteral(": ") + why;
}

} // namespace kaldor
