#pragma once
// kaldorctl run as a separate process, as a script runs it: its exit status and what it printed.

#include "tests/support/testfiles.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kaldor::testing {

struct Run {
    int status = -1; // -1: it crashed, or did not end within 20 s and was killed
    QString out;
    QString err;
};

inline QString sample(const QString& name)
{
    return QStringLiteral(KALDOR_SOURCE_DIR "/samples/") + name;
}

// An unprivileged run started as root drops to the user 65534, so that a file without read
// permission is refused as it is to a technician. With standardOutput, stdout is appended to
// that file, as "kaldorctl ... >> FILE" does.
inline Run runKaldorctl(const QStringList& args, const QString& workDir = {},
                        bool unprivileged = false, const QString& standardOutput = {})
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    if (!standardOutput.isEmpty()) p.setStandardOutputFile(standardOutput, QIODevice::Append);
    if (unprivileged) {
        p.setChildProcessModifier([] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        });
    }
    p.start(QStringLiteral(KALDORCTL_PATH), args);
    if (!p.waitForFinished(20000)) p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLatin1(p.readAllStandardOutput()),
            QString::fromLatin1(p.readAllStandardError())};
}

// A device that takes no byte, as /dev/full, made in dir: a program that puts a file in its
// place (as a save over it would) then harms nothing but the test's folder. Without the right
// to make a device, a link to /dev/full, which such a program cannot replace.
inline QString fullDevice(const QString& dir)
{
    const QString path = dir + QStringLiteral("/full");
    const QByteArray name = QFile::encodeName(path);
    if (::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 7)) == 0 &&
        ::chmod(name.constData(), 0666) == 0)
        return path;
    return QFile::link(QStringLiteral("/dev/full"), path) ? path : QString();
}

} // namespace kaldor::testing
