#pragma once
// kaldorctl run as a separate process, as a script runs it: its exit status and what it printed.

#include "tests/support/testfiles.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <unistd.h>

namespace kaldor::testing
{

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
// permission is refused as it is to a technician.
inline Run runKaldorctl(const QStringList& args, const QString& workDir = {},
                        bool unprivileged = false)
{
    QProcess p;
    p.setWorkingDirectory(workDir);
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

} // namespace kaldor::testing
